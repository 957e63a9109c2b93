#pragma once

#include <filesystem>
#include <string>

// A whole file's bytes, or empty when it cannot be read.
std::string ReadTextFile(const std::filesystem::path& path);

// Writes `content` over `path` in place (as an editor that does not replace the file would),
// bytes as they are, making the folders on the way; with `bExecutable` the owner may run it.
void WriteTextFile(const std::filesystem::path& path, const std::string& content,
                   bool bExecutable = false);
