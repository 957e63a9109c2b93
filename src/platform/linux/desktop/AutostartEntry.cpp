#include "platform/linux/desktop/AutostartEntry.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "platform/linux/AtomicFile.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* ENTRY_FILE_NAME = "QLIO.desktop";
constexpr const char* ENTRY_HEADER =
    "[Desktop Entry]\n"
    "Type=Application\n"
    "Name=Quellio\n"
    "Comment=Closes unwanted pop-up windows of your web browser\n"
    "Icon=io.github.quellio.Quellio\n";

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80) {
            length = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (text.size() - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

}  // namespace

fs::path CAutostartEntry::DefaultPath() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome != nullptr && configHome[0] == '/') {
        return fs::path(configHome) / "autostart" / ENTRY_FILE_NAME;
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const passwd* user = getpwuid(getuid());
        home = user != nullptr ? user->pw_dir : "/";
    }
    return fs::path(home) / ".config" / "autostart" / ENTRY_FILE_NAME;
}

std::optional<std::string> CAutostartEntry::QuoteExec(std::string_view executablePath) {
    if (executablePath.empty() || executablePath.front() != '/' || !IsValidUtf8(executablePath)) {
        return std::nullopt;
    }
    // Two layers: inside the double-quoted argument ", `, $ and \ take a backslash; the
    // string escapes of the entry then double every backslash and spell out \n, \t, \r.
    std::string exec = "\"";
    for (const char c : executablePath) {
        switch (c) {
            case '"':
            case '`':
            case '$':
                exec += "\\\\";
                exec += c;
                break;
            case '\\':
                exec += "\\\\\\\\";
                break;
            case '%':
                // GLib looks for the program before it turns "%%" back into "%", so no
                // spelling of such a path starts.
                return std::nullopt;
            case '\n':
                exec += "\\n";
                break;
            case '\t':
                exec += "\\t";
                break;
            case '\r':
                exec += "\\r";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                    return std::nullopt;
                }
                exec += c;
        }
    }
    exec += '"';
    return exec;
}

bool CAutostartEntry::Set(std::string_view executablePath) {
    const std::optional<std::string> exec = QuoteExec(executablePath);
    // An entry naming nothing the desktop can start would fail at every log-in, unseen.
    struct stat st {};
    const std::string path(executablePath);
    if (!exec || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        ::access(path.c_str(), X_OK) != 0) {
        return false;
    }
    return Write(std::string(ENTRY_HEADER) + "Exec=" + *exec + "\nTerminal=false\n");
}

bool CAutostartEntry::SetEmpty() {
    return Write(std::string(ENTRY_HEADER) + "Hidden=true\n");
}

bool CAutostartEntry::Write(const std::string& content) const {
    const fs::path folder = m_Path.parent_path();
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        return false;
    }
    // A dot name without the .desktop suffix, so no desktop reads the half-written file.
    return CAtomicFile::Replace(m_Path, "." + m_Path.filename().string() + ".", content, 0644) == 0;
}
