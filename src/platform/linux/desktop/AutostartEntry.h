#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/AutostartEntry.h"

// The log-in start as an XDG autostart desktop entry. Starting nothing is the same entry
// with Hidden=true, which desktops treat as switched off. Every write replaces the file
// atomically, so a crash never leaves half an entry behind.
class CAutostartEntry : public IAutostartEntry {
public:
    // `entryPath` names the desktop entry file; its folder is created when missing.
    explicit CAutostartEntry(std::filesystem::path entryPath) : m_Path(std::move(entryPath)) {}

    // ${XDG_CONFIG_HOME:-~/.config}/autostart/QLIO.desktop (a relative XDG_CONFIG_HOME is
    // ignored, as the base directory rules require).
    static std::filesystem::path DefaultPath();

    // The Exec value that runs `executablePath` with no arguments: quoted as one argument
    // and escaped again as a desktop entry string. None for a path that is not absolute, not
    // UTF-8, holds a control character that a desktop entry cannot carry, or a '%' (which
    // desktops' launchers do not start whatever its spelling).
    static std::optional<std::string> QuoteExec(std::string_view executablePath);

    // Refuses, besides what QuoteExec refuses, a path where there is no program the user
    // may run.
    bool Set(std::string_view executablePath) override;
    bool SetEmpty() override;

    const std::filesystem::path& Path() const { return m_Path; }

private:
    bool Write(const std::string& content) const;

    std::filesystem::path m_Path;
};
