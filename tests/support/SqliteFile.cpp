#include "support/SqliteFile.h"

#include <memory>
#include <stdexcept>

#include <sqlite3.h>

namespace {

using Db = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;

Db Open(const std::filesystem::path& path) {
    sqlite3* pDb = nullptr;
    const int nResult = sqlite3_open(path.c_str(), &pDb);
    Db db(pDb, &sqlite3_close);
    if (nResult != SQLITE_OK) {
        throw std::runtime_error("cannot open " + path.string());
    }
    return db;
}

}  // namespace

void SqliteExec(const std::filesystem::path& path, const std::string& sql) {
    Db db = Open(path);
    char* pError = nullptr;
    if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &pError) != SQLITE_OK) {
        const std::string message = pError != nullptr ? pError : "failed";
        sqlite3_free(pError);
        throw std::runtime_error(path.string() + ": " + message);
    }
}

long long SqliteQuery(const std::filesystem::path& path, const std::string& sql) {
    Db db = Open(path);
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

CSqliteHold::CSqliteHold(const std::filesystem::path& path) : m_pDb(Open(path)) {
    // Reading once maps the log's index, as a connection in use has it.
    sqlite3_exec(m_pDb.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
}
