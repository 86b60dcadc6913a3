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

private:
    void Finish(unsigned generation, std::exception_ptr error);
    void Join();

    TSMLBase& client_;
    std::thread thread_;
    bool running_ = false;     // owner's thread only
    unsigned generation_ = 0;  // tells a stopped exchange's late Finished apart
    std::atomic<bool> cancelRequested_{false};
    std::atomic<bool> done_{true};
    std::atomic<bool> progressQueued_{false};
    std::mutex statsMutex_;
    ExchangeStats latest_;
};

}  // namespace orvanta::ui
