#pragma once

#include <QObject>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/SyncMLBase.h"

namespace orvanta::ui {

// Runs one exchange (a load, a store, a sync) on a thread of its own, so the window stays
// responsive. The exchange works on a client of its own, made for it and handed in, never
// on the items a pane shows; the pane takes the client back once Finished has come.
// Progress and the end arrive as signals on the thread that owns this object. The engine
// knows nothing of the toolkit: it calls the client's OnProgress on the exchange's thread
// and ends at the client's Stop.
class TExchangeWorker final : public QObject {
    Q_OBJECT

public:
    explicit TExchangeWorker(QObject* parent = nullptr);
    // Stops a running exchange and waits for its thread.
    ~TExchangeWorker() override;

    // Starts the exchange on `client`; one at a time.
    void Start(std::unique_ptr<TSMLBase> client, std::function<void(TSMLBase&)> exchange);
    // Asks the exchange to end: the stop stays set, whether its session is open yet or
    // not; Finished follows with CancelledError (or whatever ended it first).
    void Cancel();
    // Cancels and waits for the thread; Finished is not emitted for this exchange.
    void Stop();
    [[nodiscard]] bool Running() const { return running_; }
    // Once Finished has come (or after Stop): the client the exchange worked on.
    [[nodiscard]] std::unique_ptr<TSMLBase> TakeClient();

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

    // The exchange's thread alone uses it until the thread is joined; Stop is the only
    // call from here meanwhile, which the client takes from any thread.
    std::unique_ptr<TSMLBase> client_;
    std::thread thread_;
    bool running_ = false;  // owner's thread only

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
