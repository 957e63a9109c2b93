#pragma once

#include <QColor>
#include <QFont>

#include "widgets/NotifyStatic.h"

class IShellOpen;

// A static text that holds a mail address and opens a new mail message to it: blue, in the
// font of its dialog, underlined while the mouse is over it, with a hand cursor. A failure
// of the mail program is not reported.
class CMailLink : public CNotifyStatic {
public:
    static constexpr QColor kTextColour{0, 0, 255};

    explicit CMailLink(IShellOpen& shell, QWidget* parent = nullptr);

    // A click: the desktop opens "mailto:" followed by the text.
    void OnClicked() override;

    bool IsOver() const { return m_bOver; }

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Underlines the text while the mouse is over it, and draws it again at once.
    void SetOver(bool bOver);

    IShellOpen& m_Shell;
    bool m_bOver = false;
    QFont m_LogFont;
};
