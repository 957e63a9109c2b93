#pragma once

#include <filesystem>
#include <string>

// Test access to an SQLite database file: statements run in autocommit, failures throw.

// Runs `sql` (any number of statements) on the database at `path`, creating it.
void SqliteExec(const std::filesystem::path& path, const std::string& sql);
// The integer answer of a one-value query, such as "SELECT count(*) FROM urls".
long long SqliteQuery(const std::filesystem::path& path, const std::string& sql);
