#pragma once

#include <filesystem>
#include <memory>
#include <string>

struct sqlite3;

// Test access to an SQLite database file: statements run in autocommit, failures throw.

// Runs `sql` (any number of statements) on the database at `path`, creating it.
void SqliteExec(const std::filesystem::path& path, const std::string& sql);
// The integer answer of a one-value query, such as "SELECT count(*) FROM urls".
long long SqliteQuery(const std::filesystem::path& path, const std::string& sql);

// Keeps a connection to a database open while it lives, as a second program would: the
// database's write-ahead log is then not removed when another connection closes.
class CSqliteHold {
public:
    explicit CSqliteHold(const std::filesystem::path& path);

private:
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> m_pDb;
};
