#pragma once

#include <QUrl>

#include <vector>

#include "platform/qt/ShellOpen.h"

// A desktop that opens nothing and remembers what it was asked to open.
class CRecordingShell final : public IShellOpen {
public:
    bool Open(const QUrl& url) override {
        m_Opened.push_back(url);
        return true;
    }

    std::vector<QUrl> m_Opened;
};
