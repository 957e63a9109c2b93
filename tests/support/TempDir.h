#pragma once

#include <filesystem>

// A fresh folder under the system's temporary folder, removed with everything in it when
// the object goes (folders made unreadable by a test are made readable first).
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::filesystem::path& Path() const { return m_Path; }
    std::filesystem::path operator/(const std::filesystem::path& child) const {
        return m_Path / child;
    }

private:
    std::filesystem::path m_Path;
};
