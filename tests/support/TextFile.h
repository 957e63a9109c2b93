#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// A whole file's bytes, or empty when it cannot be read.
inline std::string ReadTextFile(const std::filesystem::path& path) {
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}

// Writes `content` over `path` in place (as an editor that does not replace the file would),
// bytes as they are, making the folders on the way; with `bExecutable` the owner may run it.
inline void WriteTextFile(const std::filesystem::path& path, const std::string& content,
                          bool bExecutable = false) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    if (bExecutable) {
        std::filesystem::permissions(path, std::filesystem::perms::owner_exec,
                                     std::filesystem::perm_options::add);
    }
}
