#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Result.h"

struct sqlite3;

// A browser's SQLite database, opened to have rows deleted. The file must exist and be
// no link; it is never created.
class CSqliteDatabase {
public:
    // A statement that runs when the database has the table `strTable`, which it changes.
    struct SStatement {
        std::string strTable;
        std::string strSql;
    };

    // The statements to run on one database file of a profile.
    struct SFileStatements {
        const char* szFile;
        std::vector<SStatement> statements;
    };

    explicit CSqliteDatabase(const std::string& path);
    ~CSqliteDatabase();
    CSqliteDatabase(const CSqliteDatabase&) = delete;
    CSqliteDatabase& operator=(const CSqliteDatabase&) = delete;

    // Deletes every row of those of `tables` that the database has, in one transaction,
    // overwriting the deleted content in the file, and leaves no deleted content in a
    // write-ahead log (the log is checkpointed into the file and truncated): S_OK;
    // E_SHARING_VIOLATION when another program holds the database (a running browser keeps its
    // databases locked); E_FILE_CORRUPT when the file is damaged or no database; E_ACCESSDENIED
    // when it may not be changed; E_FAIL when it is missing or could not be read or written. On
    // failure the database is as it was.
    HRESULT EmptyTables(const std::vector<std::string>& tables) {
        return Run(DeleteAllFrom(tables));
    }
    // Runs those of `statements` whose table the database has, in order, in one
    // transaction, as EmptyTables does and with the same answers.
    HRESULT Run(const std::vector<SStatement>& statements);

    // Runs the statements of each of `files` that lies in the folder `dir` (a missing one is
    // skipped), each in a transaction of its own: S_FALSE when none is there; else the
    // answer of one that failed, E_SHARING_VIOLATION before any other, or S_OK.
    static HRESULT RunOnFiles(const std::filesystem::path& dir,
                              const std::vector<SFileStatements>& files);
    // Statements that delete every row of each of `tables`.
    static std::vector<SStatement> DeleteAllFrom(const std::vector<std::string>& tables);

private:
    HRESULT Exec(const std::string& sql);
    bool HasTable(const std::string& strName);

    sqlite3* m_pDb = nullptr;
    // Why the database could not be opened.
    HRESULT m_hrOpen = E_FAIL;
};
