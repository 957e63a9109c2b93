#pragma once

#include <QWidget>

class CMailLink;
class CUrlLink;
class IBeeper;
class IMessageBox;
class IShellOpen;

// The "About" page: the program's icon and painted red title, the rights line, whom to
// write to, two mail links and the link to the web site, with the maker below. It changes
// nothing; its only actions are its links'.
class CAboutPage : public QWidget {
public:
    static constexpr const char* kTitle = "Quellio 2.1";
    static constexpr const char* kTechSupportMail = "support@quellio.example";
    static constexpr const char* kPurchaseMail = "sales@quellio.example";
    static constexpr const char* kWebSite = "https://quellio.github.io/";
    // Where the title is painted: its top left corner, beside the icon.
    static constexpr int kTitleX = 60;
    static constexpr int kTitleY = 16;

    CAboutPage(IShellOpen& shell, IBeeper& beeper, IMessageBox& messageBox,
               QWidget* parent = nullptr);

    CMailLink* PurchaseLink() const { return m_pPurchaseLink; }
    CUrlLink* WebLink() const { return m_pWebLink; }
    CMailLink* TechSupportLink() const { return m_pTechSupportLink; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CMailLink* m_pPurchaseLink = nullptr;
    CUrlLink* m_pWebLink = nullptr;
    CMailLink* m_pTechSupportLink = nullptr;
};
