#pragma once

#include <QString>

// Stores in the profile of the program named `strAppName`, in the XDG_CONFIG_HOME of this
// process, that no tip of the day is shown at start-up: a test that starts the application
// then meets no modal dialog waiting for a user. Point XDG_CONFIG_HOME at a temporary folder
// first (CScopedEnv).
void TurnOffStartupTips(const QString& strAppName);
