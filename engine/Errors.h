#pragma once

#include <stdexcept>
#include <string>

namespace orvanta {

// Every failure of the engine and the item codecs is one of these. The message is
// what the user reads in the error box, so it must stand on its own.
class SyncError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The HTTP exchange could not be carried out: no connection, proxy failure,
// time-out, or an HTTP status outside 2xx.
class TransportError : public SyncError {
public:
    using SyncError::SyncError;
};

// The server's reply is not a usable SyncML message, or the server refused the
// session or the data source at the SyncML level.
class ProtocolError : public SyncError {
public:
    using SyncError::SyncError;
    ProtocolError(const std::string& message, int status) : SyncError(message), status_(status) {}
    [[nodiscard]] int Status() const { return status_; }

private:
    int status_ = 0;
};

// A text that must hold a number or a valid date or time does not.
class ConversionError : public SyncError {
public:
    using SyncError::SyncError;
};

// "'%s' is not a valid integer value" with the offending text.
[[nodiscard]] ConversionError InvalidInteger(const std::string& text);

}  // namespace orvanta
