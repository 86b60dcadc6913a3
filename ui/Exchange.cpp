#include "ui/Exchange.h"

namespace orvanta::ui {

TExchangeWorker::TExchangeWorker(QObject* parent) : QObject(parent) {}

TExchangeWorker::~TExchangeWorker() {
    Stop();
}

void TExchangeWorker::Start(std::unique_ptr<TSMLBase> client,
                            std::function<void(TSMLBase&)> exchange) {
    Join();
    running_ = true;
    {
        const std::lock_guard lock(mailMutex_);
        mail_ = Mailbox{};
    }
    client_ = std::move(client);
    // Progress comes often; the mailbox keeps the latest figures for the next Deliver.
    client_->OnProgress = [this](const ExchangeStats& stats) {
        {
            const std::lock_guard lock(mailMutex_);
            mail_.Stats = stats;
            mail_.HasStats = true;
        }
        Post();
    };
    thread_ = std::thread([this, &client = *client_, exchange = std::move(exchange)] {
        std::exception_ptr error;
        try {
            exchange(client);
        } catch (...) {
            error = std::current_exception();
        }
        {
            const std::lock_guard lock(mailMutex_);
            mail_.Finished = true;
            mail_.Error = error;
        }
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
    Join();
    running_ = false;
    emit Finished(mail.Error);
}

void TExchangeWorker::Cancel() {
    if (running_ && client_) client_->Stop();
}

void TExchangeWorker::Stop() {
    if (!running_) return;
    running_ = false;
    if (client_) client_->Stop();
    Join();
}

void TExchangeWorker::Join() {
    if (!thread_.joinable()) return;
    thread_.join();
    client_->OnProgress = nullptr;
}

std::unique_ptr<TSMLBase> TExchangeWorker::TakeClient() {
    if (running_) return nullptr;
    return std::move(client_);
}

}  // namespace orvanta::ui
