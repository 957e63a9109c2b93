#include "app/MainDialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimerEvent>
#include <QUrl>

#include "app/MainApp.h"
#include "engine/UrlList.h"
#include "pages/LogPage.h"
#include "store/SettingsStore.h"
#include "widgets/ShellOpen.h"
#include "widgets/SlidingTabCtrl.h"

namespace {

const char* const kSupportAddress = "support@quellio.example";

// A page whose content comes with a later version: an empty child of the tab control.
QWidget* MakeEmptyPage(QWidget* parent) {
    auto* page = new QWidget(parent);
    page->resize(334, 266);
    return page;
}

}  // namespace

CMainDialog::CMainDialog(CMainApp& app, const CMainServices& services)
    : m_App(app),
      m_Services(services),
      m_Scanner(services.browsers, g_BlackList, g_WhiteList, *this) {
    setWindowTitle(QStringLiteral("Quellio 2.1"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
}

CMainDialog::~CMainDialog() = default;

void CMainDialog::OnInitDialog() {
    setFixedSize(kWidth, kHeight);
    // The window's rectangles are laid out for a small 8-point dialog font.
    QFont dialogFont = font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);

    m_pTabs = new CSlidingTabCtrl([this] { return m_App.m_bAppMove; },
                                  [this] { return m_App.m_nAppSpeed; }, this);
    m_pTabs->setGeometry(10, 10, 344, 300);
    m_pPicture = new QLabel(this);
    m_pPicture->setGeometry(10, 312, 38, 37);
    m_pSupportText = new QLabel(QStringLiteral("Technical Support: "), this);
    m_pSupportText->setGeometry(60, 315, 150, 15);
    m_pSupportLink = new QLabel(QString::fromLatin1(kSupportAddress), this);
    m_pSupportLink->setTextFormat(Qt::PlainText);
    m_pSupportLink->setGeometry(60, 330, 150, 15);
    m_pHideButton = new QPushButton(QStringLiteral("Hide"), this);
    m_pHideButton->setGeometry(258, 320, 44, 20);
    m_pExitButton = new QPushButton(QStringLiteral("Exit"), this);
    m_pExitButton->setGeometry(310, 320, 44, 20);
    // Enter and Esc must not press either button.
    for (QPushButton* button : {m_pHideButton, m_pExitButton}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(m_pHideButton, &QPushButton::clicked, this, &CMainDialog::Hide);
    connect(m_pExitButton, &QPushButton::clicked, this, &CMainDialog::ExitProgram);
    if (const QScreen* screen = this->screen()) {
        move(screen->availableGeometry().center() - rect().center());
    }

    const CSettingsStore& store = m_Services.store;
    ReadRegList(store, REGKEY_LIST, REGVAL_WHITE, g_WhiteList);
    ReadRegList(store, REGKEY_LIST, REGVAL_BLACK, g_BlackList);

    m_pGeneralPage = MakeEmptyPage(m_pTabs);
    m_pTabs->AddPage(m_pGeneralPage, QStringLiteral("General"));
    m_pHistoryPage = MakeEmptyPage(m_pTabs);
    m_pTabs->AddPage(m_pHistoryPage, QStringLiteral("History"));
    m_pBlackListPage = MakeEmptyPage(m_pTabs);
    m_pTabs->AddPage(m_pBlackListPage, QStringLiteral("BlackList"));
    m_pWhiteListPage = MakeEmptyPage(m_pTabs);
    m_pTabs->AddPage(m_pWhiteListPage, QStringLiteral("WhiteList"));
    m_pLogPage = new CLogPage(m_Services.messageBox, m_Services.clock, m_pTabs);
    m_pTabs->AddPage(m_pLogPage, QStringLiteral("Logs"));
    m_pAboutPage = MakeEmptyPage(m_pTabs);
    m_pTabs->AddPage(m_pAboutPage, QStringLiteral("About"));

    m_bAnimateIcon = store.ReadOption(OPT_ANIMICON) != 0;
    m_bOnTop = store.ReadOption(OPT_ONTOP) != 0;
    m_bSoundBox = store.ReadOption(OPT_SOUNDBOX) != 0;
    m_bSpeakerBeep = store.ReadOption(OPT_SPEAKER) != 0;
    if (m_bOnTop) {
        MakeTopmost(true);
    }

    m_Scanner.ConnectBrowserWindows();
    m_ScanTimer.start(kScanPeriodMs, this);
}

void CMainDialog::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_ScanTimer.timerId()) {
        m_Scanner.ScanBrowserWindows();
        return;
    }
    QDialog::timerEvent(event);
}

void CMainDialog::AddLog(std::string_view url) {
    m_pLogPage->OnAddLog(url);
}

void CMainDialog::SignalKill() {}

void CMainDialog::Hide() {
    hide();
    m_bWindowHidden = true;
}

void CMainDialog::OnPageCommand(int nIndex) {
    showNormal();
    m_bWindowHidden = false;
    m_pTabs->SetCurSel(nIndex);
    ShowPage(nIndex);
}

void CMainDialog::ShowPage(int nIndex) {
    for (int i = 0; i < m_pTabs->GetPageCount(); ++i) {
        m_pTabs->GetPage(i)->setVisible(i == nIndex);
    }
}

void CMainDialog::OnTrayLeftButton() {
    if (m_bWindowHidden) {
        // Brought in front of the other windows, kept on top only when the user asked.
        MakeTopmost(true);
        show();
        if (!m_bOnTop) {
            MakeTopmost(false);
        }
        raise();
        activateWindow();
    } else {
        hide();
    }
    m_bWindowHidden = !m_bWindowHidden;
}

void CMainDialog::MakeTopmost(bool bTopmost) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == bTopmost) {
        return;
    }
    const bool bVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, bTopmost);
    // Changing the flags hides a window; put it back as it was.
    if (bVisible) {
        show();
    }
}

void CMainDialog::OpenHelpFile() {
    const QString strHelp =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Quellio.html"));
    m_Services.shell.Open(QUrl::fromLocalFile(strHelp));
}

void CMainDialog::ExitProgram() {
    m_bExiting = true;
    m_App.SaveSettings();
    m_ScanTimer.stop();
    QCoreApplication::exit(0);
    hide();
}

void CMainDialog::closeEvent(QCloseEvent* event) {
    if (m_bExiting) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    Hide();
}

void CMainDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            // No dialog keyboard handling: these keys neither hide nor exit.
            event->accept();
            return;
        case Qt::Key_F1:
            if (!(event->modifiers() & Qt::ShiftModifier)) {
                OpenHelpFile();
                event->accept();
                return;
            }
            break;
        default:
            break;
    }
    QDialog::keyPressEvent(event);
}

void CMainDialog::changeEvent(QEvent* event) {
    // A double click on the caption minimises the window rather than maximising it.
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized)) {
        setWindowState((windowState() & ~Qt::WindowMaximized) | Qt::WindowMinimized);
    }
    QDialog::changeEvent(event);
}
