#include "platform/linux/cleaner/SqliteDatabase.h"

#include <sys/stat.h>

#include <sqlite3.h>

namespace {

HRESULT FromSqlite(int nResult) {
    switch (nResult & 0xff) {
        case SQLITE_OK:
        case SQLITE_DONE:
        case SQLITE_ROW:
            return S_OK;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return E_SHARING_VIOLATION;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return E_FILE_CORRUPT;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return E_ACCESSDENIED;
        default:
            return E_FAIL;
    }
}

}  // namespace

CSqliteDatabase::CSqliteDatabase(const std::string& path) {
    const int nFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_PRIVATECACHE;
    const int nResult = sqlite3_open_v2(path.c_str(), &m_pDb, nFlags, nullptr);
    if (nResult != SQLITE_OK) {
        m_hrOpen = FromSqlite(nResult);
        sqlite3_close(m_pDb);
        m_pDb = nullptr;
    }
}

CSqliteDatabase::~CSqliteDatabase() {
    sqlite3_close(m_pDb);
}

HRESULT CSqliteDatabase::Exec(const std::string& sql) {
    return FromSqlite(sqlite3_exec(m_pDb, sql.c_str(), nullptr, nullptr, nullptr));
}

bool CSqliteDatabase::HasTable(const std::string& strName) {
    sqlite3_stmt* pStmt = nullptr;
    if (sqlite3_prepare_v2(m_pDb, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?",
                           -1, &pStmt, nullptr) != SQLITE_OK) {
        return false;
    }
    sqlite3_bind_text(pStmt, 1, strName.c_str(), -1, SQLITE_TRANSIENT);
    const bool bFound = sqlite3_step(pStmt) == SQLITE_ROW;
    sqlite3_finalize(pStmt);
    return bFound;
}

std::vector<CSqliteDatabase::SStatement> CSqliteDatabase::DeleteAllFrom(
    const std::vector<std::string>& tables) {
    std::vector<SStatement> statements;
    statements.reserve(tables.size());
    for (const std::string& table : tables) {
        // The names come from our own lists; quoted all the same.
        statements.push_back({table, "DELETE FROM \"" + table + "\""});
    }
    return statements;
}

HRESULT CSqliteDatabase::RunOnFiles(const std::filesystem::path& dir,
                                    const std::vector<SFileStatements>& files) {
    HRESULT hr = S_FALSE;
    for (const SFileStatements& file : files) {
        const std::filesystem::path path = dir / file.szFile;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            continue;
        }
        const HRESULT hrFile = CSqliteDatabase(path.string()).Run(file.statements);
        if (hr == S_FALSE || (FAILED(hrFile) && hr != E_SHARING_VIOLATION)) {
            hr = hrFile;
        }
    }
    return hr;
}

HRESULT CSqliteDatabase::Run(const std::vector<SStatement>& statements) {
    if (m_pDb == nullptr) {
        return m_hrOpen;
    }
    // Never wait for a lock: a browser that holds the database holds it for its whole run.
    sqlite3_busy_timeout(m_pDb, 0);
    // Deleted rows are overwritten in the file, not only unlinked from its pages.
    if (HRESULT hr = Exec("PRAGMA secure_delete = ON"); FAILED(hr)) {
        return hr;
    }
    if (HRESULT hr = Exec("BEGIN EXCLUSIVE"); FAILED(hr)) {
        return hr;
    }
    HRESULT hr = S_OK;
    for (const SStatement& statement : statements) {
        if (HasTable(statement.strTable)) {
            hr = Exec(statement.strSql);
            if (FAILED(hr)) {
                break;
            }
        }
    }
    if (SUCCEEDED(hr)) {
        hr = Exec("COMMIT");
    }
    if (FAILED(hr)) {
        Exec("ROLLBACK");
        return hr;
    }
    // A database in write-ahead mode has the old pages in its log until they are copied
    // back: copied now, and the log emptied. Nothing for a database in rollback mode.
    return Exec("PRAGMA wal_checkpoint(TRUNCATE)");
}
