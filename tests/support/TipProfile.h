#pragma once

#include <QString>

#include <filesystem>

// Makes `configHome` the XDG_CONFIG_HOME of this process and stores in it, for the program
// named `strAppName`, that no tip of the day is shown at start-up: a test that starts the
// application then gets no modal dialog waiting for a user.
void TurnOffStartupTips(const std::filesystem::path& configHome, const QString& strAppName);
