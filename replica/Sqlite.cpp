#include "replica/Sqlite.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

namespace orvanta::sqlite {

StorageError DamagedError(const std::filesystem::path& file, const std::string& detail) {
    return StorageError(StorageProblem::Damaged,
                        "The replica " + file.string() + " is damaged (" + detail +
                            ") and was left as it is: restore it from a backup, or move it "
                            "away to start a new one with the next sync");
}

StorageError ReadOnlyError(const std::filesystem::path& file) {
    return StorageError(StorageProblem::ReadOnly, "The replica " + file.string() +
                                                      " cannot be written: the file or its "
                                                      "folder is read-only");
}

StorageError ErrorFor(int code, int systemErrno, const std::filesystem::path& file,
                      const std::string& detail) {
    const std::string name = file.string();
    switch (code & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return StorageError(StorageProblem::InUse,
                                "The replica " + name +
                                    " is in use by another program; try again when it has "
                                    "finished");
        case SQLITE_READONLY:
            return ReadOnlyError(file);
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return ReadOnlyError(file);
        case SQLITE_CORRUPT:
            return DamagedError(file, detail);
        case SQLITE_NOTADB:
            return StorageError(StorageProblem::NotAReplica,
                                name + " is not a replica: it is not a database");
        case SQLITE_FULL:
            return StorageError(StorageProblem::DiskFull,
                                "The disk of the replica " + name +
                                    " is full: the last change was not written, and the "
                                    "replica holds what it held before it");
        case SQLITE_NOMEM:
            throw std::bad_alloc();
        default:
            break;
    }
    // The system's reason decides where SQLite's code is a general one.
    switch (systemErrno) {
        case ENOSPC:
        case EDQUOT:
            return ErrorFor(SQLITE_FULL, 0, file, detail);
        case EACCES:
        case EPERM:
        case EROFS:
            return ReadOnlyError(file);
        default:
            break;
    }
    const std::string reason = systemErrno != 0 ? std::strerror(systemErrno) : detail;
    return StorageError(StorageProblem::Unreadable,
                        "The replica " + name + " could not be read or written (" + reason + ")");
}

TDatabase::TDatabase(const std::filesystem::path& file, int busyTimeoutMs) : file_(file) {
    // No mutex of SQLite's own: a connection is used by one thread at a time.
    const int code =
        sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK) {
        const int systemErrno = db_ ? sqlite3_system_errno(db_) : 0;
        const std::string detail = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw ErrorFor(code, systemErrno, file, detail);
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, busyTimeoutMs);
}

TDatabase::~TDatabase() {
    // Statements are finalized by their owners first; v2 closes once they are.
    if (db_) sqlite3_close_v2(db_);
}

TDatabase::TDatabase(TDatabase&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), file_(std::move(other.file_)) {}

TDatabase& TDatabase::operator=(TDatabase&& other) noexcept {
    if (this != &other) {
        if (db_) sqlite3_close_v2(db_);
        db_ = std::exchange(other.db_, nullptr);
        file_ = std::move(other.file_);
    }
    return *this;
}

void TDatabase::Exec(const char* sql) {
    const int code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) Fail(code);
}

void TDatabase::Fail(int code) const {
    throw ErrorFor(code, sqlite3_system_errno(db_), file_, sqlite3_errmsg(db_));
}

bool TDatabase::InTransaction() const {
    return sqlite3_get_autocommit(db_) == 0;
}

TStatement::TStatement(const TDatabase& db, const char* sql) : db_(&db) {
    const int code =
        sqlite3_prepare_v3(db.Handle(), sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    if (code != SQLITE_OK) db.Fail(code);
}

TStatement::~TStatement() {
    sqlite3_finalize(stmt_);
}

TStatement::TStatement(TStatement&& other) noexcept
    : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr)) {}

TStatement& TStatement::operator=(TStatement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        db_ = other.db_;
        stmt_ = std::exchange(other.stmt_, nullptr);
    }
    return *this;
}

TStatement& TStatement::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    return *this;
}

TStatement& TStatement::Bind(int index, std::int64_t value) {
    const int code = sqlite3_bind_int64(stmt_, index, value);
    if (code != SQLITE_OK) db_->Fail(code);
    return *this;
}

TStatement& TStatement::BindText(int index, std::string_view text) {
    // A view of nothing has no address; SQLite would take that for NULL.
    const int code = sqlite3_bind_text64(stmt_, index, text.data() ? text.data() : "", text.size(),
                                         SQLITE_STATIC, SQLITE_UTF8);
    if (code != SQLITE_OK) db_->Fail(code);
    return *this;
}

TStatement& TStatement::BindTextOrNull(int index, std::string_view text) {
    return text.empty() ? BindNull(index) : BindText(index, text);
}

TStatement& TStatement::BindBlob(int index, std::string_view bytes) {
    const int code = sqlite3_bind_blob64(stmt_, index, bytes.data() ? bytes.data() : "",
                                         bytes.size(), SQLITE_STATIC);
    if (code != SQLITE_OK) db_->Fail(code);
    return *this;
}

TStatement& TStatement::BindNull(int index) {
    const int code = sqlite3_bind_null(stmt_, index);
    if (code != SQLITE_OK) db_->Fail(code);
    return *this;
}

bool TStatement::Step() {
    const int code = sqlite3_step(stmt_);
    if (code == SQLITE_ROW) return true;
    if (code == SQLITE_DONE) return false;
    // The statement's own code, not the connection's last one: reset gives it too.
    sqlite3_reset(stmt_);
    db_->Fail(code);
}

int TStatement::Run() {
    while (Step()) {
    }
    return sqlite3_changes(db_->Handle());
}

std::int64_t TStatement::Int(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

std::string_view TStatement::Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    if (!text) return {};
    return {text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))};
}

std::string_view TStatement::Blob(int column) const {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    if (!bytes) return {};
    return {bytes, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column))};
}

bool TStatement::IsNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

TTransaction::TTransaction(TDatabase& db) : db_(db) {
    db_.Exec("BEGIN IMMEDIATE");
}

TTransaction::~TTransaction() {
    // SQLite rolls back on its own after some failures (a full disk); then there is
    // nothing left to roll back.
    if (open_ && db_.InTransaction())
        sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void TTransaction::Commit() {
    db_.Exec("COMMIT");
    open_ = false;
}

}  // namespace orvanta::sqlite
