#pragma once

#include <QObject>

#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "engine/SyncMLBase.h"

namespace orvanta::ui {

// Runs one exchange of a sync client (a load or a store) on a thread of its own, so the
// window stays responsive. Progress and the end of the exchange arrive as signals on
// the thread that owns this object. The engine knows nothing of the toolkit: it calls
// the client's OnProgress on the exchange's thread and ends at the client's Cancel.
class TExchangeWorker final : public QObject {
    Q_OBJECT

public:
    explicit TExchangeWorker(TSMLBase& client, QObject* parent = nullptr);
    // Cancels a running exchange and waits for its thread.
    ~TExchangeWorker() override;

    // Starts the exchange; one at a time.
    void Start(std::function<void(TSMLBase&)> exchange);
    // Asks the exchange to end; Finished follows with CancelledError.
    void Cancel();
    // Cancels and waits for the thread; Finished is not emitted for this exchange.
    void Stop();
    [[nodiscard]] bool Running() const { return running_; }

signals:
    void Progress(const orvanta::ExchangeStats& stats);
    // error: none when the exchange ran to its end.
    void Finished(std::exception_ptr error);

private slots:
    // Takes what the exchange's thread left in the mailbox (on the owner's thread).
    void Deliver();

private:
    void Post();
    void Join();

    TSMLBase& client_;
    std::thread thread_;
    bool running_ = false;     // owner's thread only
    unsigned generation_ = 0;  // owner's thread only; tells a stopped exchange's cancel apart
    std::atomic<bool> cancelRequested_{false};
    std::atomic<bool> done_{true};

    // What the exchange's thread hands to the owner's thread. The toolkit's event queue
    // only carries the wake-up (a queued call without arguments); the data itself passes
    // under this mutex, so no object made on one thread is read on the other without it.
    struct Mailbox {
        bool Queued = false;  // a Deliver is on its way
        bool HasStats = false;
        ExchangeStats Stats;
        bool Finished = false;
        std::exception_ptr Error;
    };
    std::mutex mailMutex_;
    Mailbox mail_;
};

}  // namespace orvanta::ui
