#pragma once

#include <string>

#include "engine/Codes.h"
#include "formats/Failure.h"

namespace orvanta {

// A failure of the sync engine: the exchange with the server or the client's own state.
class SyncError : public Failure {
public:
    using Failure::Failure;
};

// The HTTP exchange could not be carried out: no connection, proxy failure,
// time-out, or an HTTP status outside 2xx.
class TransportError : public SyncError {
public:
    using SyncError::SyncError;
};

// The user (or the program) cancelled the exchange while it ran.
class CancelledError : public TransportError {
public:
    CancelledError() : TransportError("The exchange was cancelled") {}
};

// The server's reply is not a usable SyncML message, or the server refused the
// session or the data source at the SyncML level.
class ProtocolError : public SyncError {
public:
    using SyncError::SyncError;
    ProtocolError(const std::string& message, StatusCode status)
        : SyncError(message), status_(status) {}
    // The server's refusal, when the failure is one; 0 otherwise.
    [[nodiscard]] StatusCode Status() const { return status_; }

private:
    StatusCode status_{};
};

}  // namespace orvanta
