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
    // E_FAIL when the file is missing, not a database, or could not be changed (then it
    // is as it was).
    HRESULT EmptyTables(const std::vector<std::string>& tables);

private:
    HRESULT Exec(const std::string& sql);
    bool HasTable(const std::string& strName);

    sqlite3* m_pDb = nullptr;
};
