#include "app/MainDialog.h"

#include <iterator>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTimerEvent>
#include <QUrl>

#include "Resource.h"
#include "engine/UrlList.h"
#include "pages/AboutPage.h"
#include "pages/BlackListPage.h"
#include "pages/GeneralPage.h"
#include "pages/HistoryPage.h"
#include "pages/LogPage.h"
#include "pages/TipOfDayDlg.h"
#include "pages/WhiteListPage.h"
#include "platform/Beep.h"
#include "platform/HotKeys.h"
#include "platform/qt/AppResources.h"
#include "platform/qt/BrowserThread.h"
#include "platform/qt/ShellOpen.h"
#include "store/SettingsStore.h"
#include "widgets/BmpMenu.h"
#include "widgets/BmpMenuEvent.h"
#include "widgets/MailLink.h"
#include "widgets/SlidingTabCtrl.h"

namespace {

// The tray menu: its items in order, with their pictures; a null text is a separator. The
// "OFF/ON" picture follows the blocking state.
struct SMenuItem {
    const char* szText;
    int nCommand;
    int nPicture;
};
constexpr SMenuItem kTrayMenu[] = {
    {"OFF/ON", ID_MENU_OFFON, IDB_MENU_ON},
    {nullptr, 0, 0},
    {"General", ID_MENU_GENERAL, IDB_MENU_GENERAL},
    {"History", ID_MENU_HISTORY, IDB_MENU_HISTORY},
    {"BlackList", ID_MENU_BLACKLIST, IDB_MENU_BLACKLIST},
    {"WhiteList", ID_MENU_WHITELIST, IDB_MENU_WHITELIST},
    {"Logs", ID_MENU_LOGS, IDB_MENU_LOGS},
    {"About", ID_MENU_ABOUT, IDB_MENU_ABOUT},
    {nullptr, 0, 0},
    {"Help Topics", ID_MENU_HELP_TOPICS, IDB_MENU_HELP_TOPICS},
    {"Help Online", ID_MENU_HELP_ONLINE, IDB_MENU_HELP_ONLINE},
    {"Tip of the Day", ID_MENU_TIP, IDB_MENU_TIP},
    {nullptr, 0, 0},
    {"Exit", ID_MENU_EXIT, IDB_MENU_EXIT},
};

// The tray menu, as the list of its items.
std::unique_ptr<QMenu> LoadTrayMenu() {
    auto menu = std::make_unique<QMenu>();
    for (const SMenuItem& item : kTrayMenu) {
        if (item.szText == nullptr) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromLatin1(item.szText));
        action->setData(item.nCommand);
    }
    return menu;
}

}  // namespace

CMainDialog::CMainDialog(IMainDialogHost& host, const CMainServices& services, QString strAppName)
    : m_Host(host),
      m_strAppName(std::move(strAppName)),
      m_Services(services),
      m_pBrowserThread(std::make_unique<CBrowserThread>()),
      m_ScanWorker(services.browsers, g_BlackList, g_WhiteList, *m_pBrowserThread, *this),
      m_Sound(services.sound),
      m_TrayIcon(services.tray) {
    m_Sound.LoadFromResource(IDR_WAVE_KILL, services.resources);
    setWindowIcon(CAppResources::LoadIcon(IDR_MAINFRAME));
    setWindowTitle(QStringLiteral("Quellio 2.1"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
}

CMainDialog::~CMainDialog() {
    // The pages drop their connections to the browsers and the passes end, on the browser
    // thread; it ends once it has done that and what it was doing.
    delete m_pTabs;
    m_ScanWorker.Stop();
    m_pBrowserThread.reset();
}

void CMainDialog::OnInitDialog() {
    setFixedSize(kWidth, kHeight);
    // The window's rectangles are laid out for a small 8-point dialog font.
    QFont dialogFont = font();
    dialogFont.setPointSize(8);
    setFont(dialogFont);

    SAppOptions& options = m_Host.Options();
    m_pTabs = new CSlidingTabCtrl([&options] { return options.m_bAppMove; },
                                  [&options] { return options.m_nAppSpeed; }, this);
    m_pTabs->setGeometry(10, 10, 344, 300);
    m_pPicture = new QLabel(this);
    m_pPicture->setGeometry(10, 312, 38, 37);
    m_pPicture->setPixmap(CAppResources::LoadBitmap(IDB_LOGO));
    m_pSupportText = new QLabel(QStringLiteral("Technical Support: "), this);
    m_pSupportText->setGeometry(60, 315, 150, 15);
    m_pSupportLink = new CMailLink(m_Services.shell, this);
    m_pSupportLink->setText(QString::fromLatin1(CAboutPage::kTechSupportMail));
    m_pSupportLink->setGeometry(60, 330, 150, 15);
    m_pHideButton = new QPushButton(QStringLiteral("Hide"), this);
    m_pHideButton->setGeometry(258, 320, 44, 20);
    m_pExitButton = new QPushButton(QStringLiteral("Exit"), this);
    m_pExitButton->setGeometry(310, 320, 44, 20);
    connect(m_pHideButton, &QPushButton::clicked, this, &CMainDialog::Hide);
    connect(m_pExitButton, &QPushButton::clicked, this, &CMainDialog::ExitProgram);
    if (const QScreen* screen = this->screen()) {
        move(screen->availableGeometry().center() - rect().center());
    }

    m_hIconKill = CAppResources::LoadIcon(IDI_TRAY_KILL);
    m_hIconOn = CAppResources::LoadIcon(IDI_TRAY_ON);

    const CSettingsStore& store = m_Services.store;
    m_eWhiteLoad = ReadRegList(store, REGKEY_LIST, REGVAL_WHITE, g_WhiteList);
    m_eBlackLoad = ReadRegList(store, REGKEY_LIST, REGVAL_BLACK, g_BlackList);

    // Setting the icon at once ends the animation before its first step.
    m_TrayIcon.CreateAnimated([this](unsigned, ETrayMouse eMouse) { OnTrayNotification(eMouse); },
                              0, QStringLiteral("Running"), {m_hIconKill, m_hIconOn}, 300);
    m_TrayIcon.SetIcon(m_hIconOn);

    m_pGeneralPage = new CGeneralPage(
        store, m_Services.autostart,
        CLiveOptions{m_bOnTop, m_bAnimateIcon, m_bSpeakerBeep, m_bSoundBox, options.m_bAppMove,
                     options.m_nAppSpeed, [this](bool bTopmost) { MakeTopmost(bTopmost); }},
        m_pTabs);
    m_pTabs->AddPage(m_pGeneralPage, QStringLiteral("General"));
    m_pHistoryPage = new CHistoryPage(m_Host.CleaningServices(), options.m_nCleanTime, m_pTabs);
    m_pTabs->AddPage(m_pHistoryPage, QStringLiteral("History"));
    m_pBlackListPage =
        new CBlackListPage(m_Services.browsers, *m_pBrowserThread, m_Services.messageBox, m_pTabs);
    m_pTabs->AddPage(m_pBlackListPage, QStringLiteral("BlackList"));
    m_pWhiteListPage =
        new CWhiteListPage(m_Services.browsers, *m_pBrowserThread, m_Services.messageBox, m_pTabs);
    m_pTabs->AddPage(m_pWhiteListPage, QStringLiteral("WhiteList"));
    m_pLogPage = new CLogPage(m_Services.messageBox, m_Services.clock, m_pTabs);
    m_pTabs->AddPage(m_pLogPage, QStringLiteral("Logs"));
    m_pAboutPage =
        new CAboutPage(m_Services.shell, m_Services.beeper, m_Services.messageBox, m_pTabs);
    m_pTabs->AddPage(m_pAboutPage, QStringLiteral("About"));
    // No dialog keyboard handling: Enter presses no button, neither "Hide" nor one on a page
    // that has the focus.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    m_bAnimateIcon = store.ReadOption(OPT_ANIMICON) != 0;
    m_bOnTop = store.ReadOption(OPT_ONTOP) != 0;
    m_bSoundBox = store.ReadOption(OPT_SOUNDBOX) != 0;
    m_bSpeakerBeep = store.ReadOption(OPT_SPEAKER) != 0;
    if (m_bOnTop) {
        MakeTopmost(true);
    }

    m_ScanWorker.Start();
    m_ScanTimer.start(kScanPeriodMs, this);
    // Held by another program: no message, the menu's "OFF/ON" still works.
    (void)m_Services.hotKeys.RegisterHotKey(kHotKeyId, MOD_CONTROL | MOD_ALT, 'A',
                                            [this] { ToggleBlocking(); });
}

void CMainDialog::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_ScanTimer.timerId()) {
        m_ScanWorker.RequestPass();
        return;
    }
    if (event->timerId() == m_KillImageTimer.timerId()) {
        ShowStateImage();
        return;
    }
    QDialog::timerEvent(event);
}

void CMainDialog::AddLog(std::string_view url) {
    m_pLogPage->OnAddLog(url);
}

void CMainDialog::SignalKill() {
    if (m_bAnimateIcon) {
        // The tray paints at the next pass of the event loop, so the image must stay that
        // long and more to be seen at all; a new kill within the moment starts it again.
        m_TrayIcon.SetIcon(IDI_TRAY_KILL);
        m_KillImageTimer.start(kKillImageMs, this);
    }
    if (m_bSoundBox) {
        m_Sound.Play(false);
    }
    if (m_bSpeakerBeep) {
        (void)m_Services.beeper.Beep();  // a signal, not a result
    }
}

void CMainDialog::ShowStateImage() {
    m_KillImageTimer.stop();
    m_TrayIcon.SetIcon(m_bBlocking ? IDI_TRAY_ON : IDI_TRAY_OFF);
}

bool CMainDialog::MaySaveList(std::string_view name) const {
    const EListLoad eLoad = name == REGVAL_WHITE ? m_eWhiteLoad : m_eBlackLoad;
    return eLoad != EListLoad::Unreadable;
}

void CMainDialog::ToggleBlocking() {
    m_bBlocking = !m_bBlocking;
    if (m_bBlocking) {
        // Switching on restarts the period: the first pass comes 500 ms later.
        m_ScanTimer.start(kScanPeriodMs, this);
    } else {
        m_ScanTimer.stop();
    }
    ShowStateImage();
    m_ScanWorker.WatchBrowserEvents(m_bBlocking);
}

void CMainDialog::OnTrayNotification(ETrayMouse eMouse) {
    if (eMouse == ETrayMouse::LButtonDown) {
        OnTrayLeftButton();
    } else if (eMouse == ETrayMouse::RButtonDown) {
        ShowTrayMenu();
    }
}

void CMainDialog::ShowTrayMenu() {
    CBmpMenu menu(16, true, CAppResources::LoadBitmap(IDB_MENU_SIDE), true);
    menu.Attach(LoadTrayMenu().release());
    for (int i = 0; i < static_cast<int>(std::size(kTrayMenu)); ++i) {
        const SMenuItem& item = kTrayMenu[i];
        if (item.szText == nullptr) {
            continue;
        }
        const QPixmap picture = CAppResources::LoadBitmap(
            item.nCommand == ID_MENU_OFFON && !m_bBlocking ? IDB_MENU_OFF : item.nPicture);
        menu.SetMenuItemBitmaps(i, picture, picture);
    }
    // The chosen command arrives as an event once the menu has closed (event()).
    menu.TrackPopup(QCursor::pos(), this);
}

bool CMainDialog::event(QEvent* event) {
    if (event->type() == CBmpMenuEvent::EventType()) {
        const auto* menuEvent = static_cast<const CBmpMenuEvent*>(event);
        if (menuEvent->Message() == CBmpMenuEvent::WM_COMMAND) {
            OnCommand(static_cast<int>(menuEvent->Item()));
            return true;
        }
    }
    return QDialog::event(event);
}

void CMainDialog::OnCommand(int nCommand) {
    switch (nCommand) {
        case ID_MENU_OFFON:
            ToggleBlocking();
            break;
        case ID_MENU_GENERAL:
        case ID_MENU_HISTORY:
        case ID_MENU_BLACKLIST:
        case ID_MENU_WHITELIST:
        case ID_MENU_LOGS:
        case ID_MENU_ABOUT:
            OnPageCommand(nCommand - ID_MENU_GENERAL);
            break;
        case ID_MENU_HELP_TOPICS:
            OpenHelpFile();
            break;
        case ID_MENU_HELP_ONLINE:
            (void)m_Services.shell.Open(QUrl(QString::fromLatin1(CAboutPage::kWebSite)));
            break;
        case ID_MENU_TIP:
            ShowTipOfTheDay();
            break;
        case ID_MENU_EXIT:
            ExitProgram();
            break;
        default:
            break;
    }
}

void CMainDialog::ShowTipOfTheDay() {
    // Shown whatever its start-up setting.
    CTipOfDayDlg tipDlg(m_Services.messageBox, CTipOfDayDlg::DefaultTipsPath(),
                        CTipOfDayDlg::DefaultProfilePath(m_strAppName));
    tipDlg.exec();
}

void CMainDialog::Hide() {
    // Without a tray there would be no way back to a hidden window: minimise it instead.
    if (!m_TrayIcon.IsTrayAvailable()) {
        showMinimized();
        return;
    }
    hide();
    m_bWindowHidden = true;
}

void CMainDialog::OnPageCommand(int nIndex) {
    showNormal();
    ShowInFront();
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
        ShowInFront();
    } else {
        hide();
    }
    m_bWindowHidden = !m_bWindowHidden;
}

void CMainDialog::ShowInFront() {
    show();
    raise();
    activateWindow();
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
    (void)m_Services.shell.Open(QUrl::fromLocalFile(strHelp));
}

void CMainDialog::ExitProgram() {
    // An "Exit" from the tray while the closing pass runs.
    if (m_bExiting) {
        return;
    }
    m_bExiting = true;
    m_Host.SaveSettings();
    if (m_Services.store.ReadOption(OPT_CLEANTIME) == CLEAN_TIME_CLOSING &&
        m_pHistoryPage->CountCleanChoices() > 0) {
        m_Host.RunCleaningPass();
    }
    (void)m_Services.hotKeys.UnregisterHotKey(kHotKeyId);  // not claimed when held elsewhere
    m_ScanTimer.stop();
    m_KillImageTimer.stop();
    // Windows held for a pass go on.
    m_ScanWorker.Stop();
    QCoreApplication::exit(0);
    m_TrayIcon.Destroy();
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
