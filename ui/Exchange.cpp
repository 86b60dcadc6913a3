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
    ++generation_;
    {
        const std::lock_guard lock(mailMutex_);
        mail_ = Mailbox{};
    }
    // Progress comes often; the mailbox keeps the latest figures for the next Deliver.
    client_.OnProgress = [this](const ExchangeStats& stats) {
        {
            const std::lock_guard lock(mailMutex_);
            mail_.Stats = stats;
            mail_.HasStats = true;
        }
        Post();
    };
    thread_ = std::thread([this, exchange = std::move(exchange)] {
        std::exception_ptr error;
        try {
            if (cancelRequested_) throw CancelledError();
            exchange(client_);
        } catch (...) {
            error = std::current_exception();
        }
        {
            const std::lock_guard lock(mailMutex_);
            mail_.Finished = true;
            mail_.Error = error;
        }
        done_ = true;
        Post();
    });
}

void TExchangeWorker::Post() {
    {
        const std::lock_guard lock(mailMutex_);
        if (mail_.Queued) return;
        mail_.Queued = true;
    }
    // By name: the queued call carries nothing made on this thread.
    QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
}

void TExchangeWorker::Deliver() {
    Mailbox mail;
    {
        const std::lock_guard lock(mailMutex_);
        mail_.Queued = false;
        if (!running_) return;
        mail = mail_;
        mail_.HasStats = false;
    }
    if (mail.HasStats) emit Progress(mail.Stats);
    if (!mail.Finished) return;
    thread_.join();
    client_.OnProgress = nullptr;
    running_ = false;
    emit Finished(mail.Error);
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

}  // namespace orvanta::ui
