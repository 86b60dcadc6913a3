#include "ui/Exchange.h"

#include <QTimer>

#include <chrono>

#include "engine/Errors.h"

namespace orvanta::ui {

TExchangeWorker::TExchangeWorker(TSMLBase& client, QObject* parent)
    : QObject(parent), client_(client) {}

TExchangeWorker::~TExchangeWorker() {
    Stop();
}

void TExchangeWorker::Start(std::function<void(TSMLBase&)> exchange) {
    Join();
    running_ = true;
    cancelRequested_ = false;
    done_ = false;
    const unsigned generation = ++generation_;
    // Progress comes often; one queued update at a time carries the latest figures.
    client_.OnProgress = [this](const ExchangeStats& stats) {
        {
            const std::lock_guard lock(statsMutex_);
            latest_ = stats;
        }
        if (progressQueued_.exchange(true)) return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                progressQueued_ = false;
                ExchangeStats stats;
                {
                    const std::lock_guard lock(statsMutex_);
                    stats = latest_;
                }
                emit Progress(stats);
            },
            Qt::QueuedConnection);
    };
    thread_ = std::thread([this, generation, exchange = std::move(exchange)] {
        std::exception_ptr error;
        try {
            if (cancelRequested_) throw CancelledError();
            exchange(client_);
        } catch (...) {
            error = std::current_exception();
        }
        done_ = true;
        QMetaObject::invokeMethod(
            this, [this, generation, error] { Finish(generation, error); }, Qt::QueuedConnection);
    });
}

void TExchangeWorker::Cancel() {
    if (!running_) return;
    cancelRequested_ = true;
    client_.Cancel();
    // The client ends only an exchange whose session is open: until the thread is
    // through, say it again.
    QTimer::singleShot(20, this, [this, generation = generation_] {
        if (running_ && generation == generation_) Cancel();
    });
}

void TExchangeWorker::Stop() {
    if (!running_) return;
    running_ = false;
    Join();
}

void TExchangeWorker::Join() {
    if (!thread_.joinable()) return;
    // A cancel that comes before the exchange has opened its session does not reach it:
    // repeat it until the thread is through.
    while (!done_) {
        cancelRequested_ = true;
        client_.Cancel();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    thread_.join();
    client_.OnProgress = nullptr;
}

void TExchangeWorker::Finish(unsigned generation, std::exception_ptr error) {
    if (generation != generation_ || !running_) return;
    thread_.join();
    client_.OnProgress = nullptr;
    running_ = false;
    emit Finished(error);
}

}  // namespace orvanta::ui
