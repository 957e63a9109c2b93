#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QUrl>

#include "platform/qt/ShellOpen.h"

// A desktop that opens nothing and remembers what it was asked to open. It accepts every
// request unless told to refuse, and has no web page program unless given an answer for it.
class CRecordingShell final : public IShellOpen {
public:
    bool Open(const QUrl& url) override {
        m_Opened.push_back(url);
        return m_bAccepts;
    }

    std::optional<int> RunWebPageHandler(std::string_view address) override {
        m_HandlerAddresses.emplace_back(address);
        return m_nHandlerAnswer;
    }

    std::vector<QUrl> m_Opened;
    std::vector<std::string> m_HandlerAddresses;
    bool m_bAccepts = true;
    std::optional<int> m_nHandlerAnswer;
};
