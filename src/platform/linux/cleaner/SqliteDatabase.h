#pragma once

#include <string>
#include <vector>

#include "platform/Result.h"

struct sqlite3;

// A browser's SQLite database, opened to have tables emptied. The file must exist and be
// no link; it is never created.
class CSqliteDatabase {
public:
    explicit CSqliteDatabase(const std::string& path);
    ~CSqliteDatabase();
    CSqliteDatabase(const CSqliteDatabase&) = delete;
    CSqliteDatabase& operator=(const CSqliteDatabase&) = delete;

    // Deletes every row of those of `tables` that the database has, in one transaction,
    // overwriting the deleted content in the file: S_OK; E_SHARING_VIOLATION when another
    // program holds the database (a running browser keeps its databases locked);
    // E_FILE_CORRUPT when the file is damaged or no database; E_ACCESSDENIED when it may
    // not be changed; E_FAIL when it is missing or could not be read or written. On
    // failure the database is as it was.
    HRESULT EmptyTables(const std::vector<std::string>& tables);

private:
    HRESULT Exec(const std::string& sql);
    bool HasTable(const std::string& strName);

    sqlite3* m_pDb = nullptr;
    // Why the database could not be opened.
    HRESULT m_hrOpen = E_FAIL;
};
