#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "formats/ItemStorage.h"

struct sqlite3;
struct sqlite3_stmt;

namespace orvanta::sqlite {

// The replica's failures in the user's words, each naming the file. `code` is an SQLite
// result code (extended codes included); `detail` what SQLite or the check said.
[[nodiscard]] StorageError ErrorFor(int code, int systemErrno, const std::filesystem::path& file,
                                    const std::string& detail);
[[nodiscard]] StorageError DamagedError(const std::filesystem::path& file,
                                        const std::string& detail);
[[nodiscard]] StorageError ReadOnlyError(const std::filesystem::path& file);

// Owns one connection. Move-only; closing it rolls back a transaction left open.
class TDatabase {
public:
    TDatabase() = default;
    // Opens an existing file for reading and writing (fails when it is missing).
    TDatabase(const std::filesystem::path& file, int busyTimeoutMs);
    ~TDatabase();
    TDatabase(TDatabase&& other) noexcept;
    TDatabase& operator=(TDatabase&& other) noexcept;
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;

    [[nodiscard]] sqlite3* Handle() const { return db_; }
    [[nodiscard]] const std::filesystem::path& File() const { return file_; }
    // Runs statements without parameters or results.
    void Exec(const char* sql);
    // The failure of the last call on this connection that gave `code`.
    [[noreturn]] void Fail(int code) const;
    // Whether a transaction is open (SQLite may have rolled one back on its own after a
    // full disk or an I/O error).
    [[nodiscard]] bool InTransaction() const;

private:
    sqlite3* db_ = nullptr;
    std::filesystem::path file_;
};

// Owns one prepared statement. Parameters are bound by position (?1, ?2 ...); never is a
// value pasted into the text.
class TStatement {
public:
    TStatement(const TDatabase& db, const char* sql);
    ~TStatement();
    TStatement(TStatement&& other) noexcept;
    TStatement& operator=(TStatement&& other) noexcept;
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    // Ready for a new run: reset, parameters cleared.
    TStatement& Reset();
    TStatement& Bind(int index, std::int64_t value);
    TStatement& BindText(int index, std::string_view text);
    // Empty text binds NULL.
    TStatement& BindTextOrNull(int index, std::string_view text);
    TStatement& BindBlob(int index, std::string_view bytes);
    TStatement& BindNull(int index);

    // The next row: true while there is one.
    bool Step();
    // Runs to the end; gives the rows changed.
    int Run();

    [[nodiscard]] std::int64_t Int(int column) const;
    // Views into the row: valid until the next Step or Reset. NULL reads as empty.
    [[nodiscard]] std::string_view Text(int column) const;
    [[nodiscard]] std::string_view Blob(int column) const;
    [[nodiscard]] bool IsNull(int column) const;

private:
    const TDatabase* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

// A statement kept for reuse, in one use: reset when the use ends, so that a query read
// only in part holds no read transaction open (which would keep this connection from
// writing after another one has, and the WAL from being checkpointed).
class TStatementUse {
public:
    explicit TStatementUse(TStatement& statement) : statement_(statement.Reset()) {}
    ~TStatementUse() { statement_.Reset(); }
    TStatementUse(const TStatementUse&) = delete;
    TStatementUse& operator=(const TStatementUse&) = delete;

    TStatement* operator->() const { return &statement_; }
    TStatement& operator*() const { return statement_; }

private:
    TStatement& statement_;
};

// One unit of work: BEGIN IMMEDIATE (the write lock at once, waiting out another
// writer up to the busy timeout), and ROLLBACK unless Commit was reached.
class TTransaction {
public:
    explicit TTransaction(TDatabase& db);
    ~TTransaction();
    TTransaction(const TTransaction&) = delete;
    TTransaction& operator=(const TTransaction&) = delete;

    void Commit();

private:
    TDatabase& db_;
    bool open_ = true;
};

}  // namespace orvanta::sqlite
