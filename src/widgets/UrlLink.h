#pragma once

#include <string>
#include <string_view>

#include <QColor>

#include "widgets/NotifyStatic.h"

class IBeeper;
class IMessageBox;
class IShellOpen;

// A static text that opens a web address. It shows its text underlined, in the link colour,
// in the visited colour once the address has been opened and in the highlight colour while
// the mouse is over it; it fits itself to its text, shows the address as its tooltip and a
// hand cursor. A click opens the address through the desktop, else through the program the
// desktop registers for web pages; when neither can, it beeps and says why.
class CUrlLink : public CNotifyStatic {
public:
    // The colours of an address not yet opened and of one opened before.
    static constexpr QColor kLinkColour{0, 0, 238};
    static constexpr QColor kVisitedColour{85, 26, 139};
    // An answer of OpenUrl when the desktop refuses the address and no web page program is
    // registered: no program is associated with it.
    static constexpr int SE_ERR_NOASSOC = 31;

    CUrlLink(IShellOpen& shell, IBeeper& beeper, IMessageBox& messageBox,
             QWidget* parent = nullptr);

    // Takes over the text as its dialog placed it (text, rectangle and alignment): the
    // address is the text, the font gets underlined, the control shrinks to its text, and
    // the hand cursor and the tooltip are set up.
    void PreSubclassWindow();

    // Opens `address`: answers a number above 32 when it was opened, otherwise an error
    // code for ReportOpenError.
    int OpenUrl(std::string_view address);
    // Tells the user, with the exclamation icon, why an address could not be opened.
    void ReportOpenError(int nError);
    // The text of an error code of OpenUrl.
    static QString OpenErrorText(int nError);

    // A click: the address is opened, or the user hears a beep and reads why not.
    void OnClicked() override;

    const std::string& Url() const { return m_strUrl; }
    bool IsOver() const { return m_bOver; }
    bool IsVisited() const { return m_bVisited; }
    // The colour the text is drawn in now.
    QColor TextColour() const;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Shrinks or grows the control to its text, keeping the edges its alignment keeps.
    void FitToText();
    void LoadLinkCursor();
    // Draws the text again at once in the colour of the current state.
    void RedrawNow();

    IShellOpen& m_Shell;
    IBeeper& m_Beeper;
    IMessageBox& m_MessageBox;
    QColor m_crHoverColour;
    bool m_bOver = false;
    bool m_bVisited = false;
    bool m_bUnderline = true;
    bool m_bAdjustToFit = true;
    std::string m_strUrl;
};
