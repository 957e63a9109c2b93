#pragma once

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include <sqlite3.h>

// Test access to an SQLite database file: statements run in autocommit, failures throw.

using SqliteDb = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;

inline SqliteDb SqliteOpen(const std::filesystem::path& path) {
    sqlite3* pDb = nullptr;
    const int nResult = sqlite3_open(path.c_str(), &pDb);
    SqliteDb db(pDb, &sqlite3_close);
    if (nResult != SQLITE_OK) {
        throw std::runtime_error("cannot open " + path.string());
    }
    return db;
}

// Runs `sql` (any number of statements) on the database at `path`, creating it.
inline void SqliteExec(const std::filesystem::path& path, const std::string& sql) {
    const SqliteDb db = SqliteOpen(path);
    char* pError = nullptr;
    if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &pError) != SQLITE_OK) {
        const std::string message = pError != nullptr ? pError : "failed";
        sqlite3_free(pError);
        throw std::runtime_error(path.string() + ": " + message);
    }
}

// The integer answer of a one-value query, such as "SELECT count(*) FROM urls".
inline long long SqliteQuery(const std::filesystem::path& path, const std::string& sql) {
    const SqliteDb db = SqliteOpen(path);
    sqlite3_stmt* pStmt = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &pStmt, nullptr) != SQLITE_OK) {
        throw std::runtime_error(path.string() + ": " + sqlite3_errmsg(db.get()));
    }
    const bool bRow = sqlite3_step(pStmt) == SQLITE_ROW;
    const long long nValue = bRow ? sqlite3_column_int64(pStmt, 0) : 0;
    sqlite3_finalize(pStmt);
    if (!bRow) {
        throw std::runtime_error(path.string() + ": no answer to " + sql);
    }
    return nValue;
}

// A connection kept open while it lives, as a second program would keep it: the database's
// write-ahead log is then not removed when another connection closes.
inline SqliteDb SqliteHold(const std::filesystem::path& path) {
    SqliteDb db = SqliteOpen(path);
    // Reading once maps the log's index, as a connection in use has it.
    sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    return db;
}
