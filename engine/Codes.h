#pragma once

namespace orvanta {

// The Alert codes the client sends and reads (SyncML 1.2 representation protocol, alert
// types).
enum class AlertCode : int {
    TwoWay = 200,
    SlowSync = 201,
    OneWayFromClient = 202,
    OneWayFromServer = 204,
    NextMessage = 222,
};

// The Status codes the client sends and reads (SyncML 1.2 representation protocol,
// response status codes). A server may send any other number; it is kept as it came.
enum class StatusCode : int {
    Ok = 200,
    ItemAdded = 201,
    ConflictMerged = 207,      // the server merged both versions
    ConflictClientWon = 208,   // the client's version was taken
    ConflictDuplicated = 209,  // both versions were kept, as two items
    ItemNotDeleted = 211,      // a Delete of an item that is not there
    Authenticated = 212,
    BadRequest = 400,
    InvalidCredentials = 401,
    Forbidden = 403,
    NotFound = 404,
    CommandNotAllowed = 405,
    NotSupported = 406,
    MissingCredentials = 407,
    RequestTimeout = 408,
    IncompleteCommand = 412,
    RequestTooLarge = 413,
    UnsupportedMediaType = 415,
    RetryLater = 417,
    AlreadyExists = 418,
    ConflictServerWon = 419,  // the server's version was taken
    DeviceFull = 420,
    CommandFailed = 500,
    ServiceUnavailable = 503,
    ProcessingError = 506,
    RefreshRequired = 508,  // the server needs a slow sync
    ServerFailure = 511,
    SyncFailed = 512,
    VersionNotSupported = 513,
};

[[nodiscard]] constexpr int Number(StatusCode code) {
    return static_cast<int>(code);
}

[[nodiscard]] constexpr bool IsSuccess(StatusCode code) {
    return Number(code) >= 200 && Number(code) <= 299;
}

}  // namespace orvanta
