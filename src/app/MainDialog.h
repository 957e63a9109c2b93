#pragma once

#include <memory>
#include <string_view>

#include <QBasicTimer>
#include <QDialog>

#include "app/ScanWorker.h"
#include "engine/KillReport.h"
#include "engine/UrlList.h"
#include "engine/WaveSound.h"
#include "platform/Registry.h"
#include "widgets/TrayNotifyIcon.h"

class CAboutPage;
class CBlackListPage;
class CBrowserThread;
class CGeneralPage;
class CHistoryPage;
class CLogPage;
class CMailLink;
class CSettingsStore;
class CSlidingTabCtrl;
class CWhiteListPage;
struct CCleaningServices;
class IAutostartEntry;
class IBeeper;
class IBrowserWindowsFactory;
class ICleaner;
class IClock;
class IHotKeys;
class IMessageBox;
class IResourceLookup;
class IShellOpen;
class ISoundPlayer;
class QLabel;
class QPushButton;

// The services the main window works with, chosen by the application.
struct CMainServices {
    CSettingsStore& store;
    IBrowserWindowsFactory& browsers;
    IMessageBox& messageBox;
    IClock& clock;
    IShellOpen& shell;
    IAutostartEntry& autostart;
    ITrayHost& tray;
    IHotKeys& hotKeys;
    ISoundPlayer& sound;
    IBeeper& beeper;
    const IResourceLookup& resources;
    ICleaner& cleaner;
};

// The options the whole program shares, live.
struct SAppOptions {
    bool m_bAppMove = false;
    int m_nAppSpeed = 20;
    DWORD m_nCleanTime = 0;
};

// What the main window asks of the application that owns it.
class IMainDialogHost {
public:
    virtual ~IMainDialogHost() = default;
    [[nodiscard]] virtual SAppOptions& Options() = 0;
    // Keeps "speed" and both lists as they are now.
    virtual void SaveSettings() const = 0;
    [[nodiscard]] virtual CCleaningServices CleaningServices() = 0;
    // One cleaning pass in its modal dialog; returns when the dialog has closed.
    virtual void RunCleaningPass() = 0;
};

// The program's one top-level window: the six pages on a sliding tab control, the scan
// timer, the tray icon, the hot key and the kill signals. Closing it only hides it; the
// program goes on in the tray until ExitProgram.
class CMainDialog : public QDialog, private IKillReport {
    Q_OBJECT
public:
    static constexpr int kScanTimerId = 1;
    static constexpr int kScanPeriodMs = 500;
    // Ctrl+Alt+A, which switches blocking from anywhere.
    static constexpr int kHotKeyId = 0xBFFB;
    // The window's outer size is 370 x 375 under a usual frame (a 22-pixel caption, 3-pixel
    // borders); the inside, which the controls' rectangles fill, is the rest.
    static constexpr int kWidth = 364;
    static constexpr int kHeight = 350;
    // How long the kill image stays in the tray: long enough to be seen.
    static constexpr int kKillImageMs = 300;

    // Page indexes, in tab order.
    enum { PAGE_GENERAL, PAGE_HISTORY, PAGE_BLACKLIST, PAGE_WHITELIST, PAGE_LOGS, PAGE_ABOUT };

    // `strAppName` names the profile of the tip of the day.
    CMainDialog(IMainDialogHost& host, const CMainServices& services, QString strAppName);
    ~CMainDialog() override;

    // Builds the window and starts blocking: lists, tray icon, pages, options, the
    // connection to the browsers, the scan timer and the hot key.
    void OnInitDialog();

    // The exit sequence: save "speed" and both lists, clean when the clean time is "closing"
    // and a kind is chosen, release the hot key, remove the tray icon and end the program.
    void ExitProgram();

    // Hides the window ("Hide", the caption's close button).
    void Hide();
    // Shows the window raised above the others and active, as every way of showing it does.
    void ShowInFront();
    // Shows page `nIndex` in the window, shown and restored, without a slide.
    void OnPageCommand(int nIndex);
    // The tray icon's left button: shows the hidden window in front, or hides it.
    void OnTrayLeftButton();
    // Opens the help file beside the executable.
    void OpenHelpFile();
    // Switches blocking off or on: the scan timer and the tray image follow.
    void ToggleBlocking();
    // A command of the tray menu (ID_MENU_...).
    void OnCommand(int nCommand);
    // A press on the tray icon.
    void OnTrayNotification(ETrayMouse eMouse);

    bool IsWindowHidden() const { return m_bWindowHidden; }
    bool IsBlocking() const { return m_bBlocking; }
    // Whether the list saved as `name` ("white" or "black") may be saved over the stored
    // one: initialisation read it, or found none stored. A list that could not be read is
    // left as stored.
    bool MaySaveList(std::string_view name) const;
    CGeneralPage* GeneralPage() const { return m_pGeneralPage; }
    CLogPage* LogPage() const { return m_pLogPage; }
    CAboutPage* AboutPage() const { return m_pAboutPage; }
    CSlidingTabCtrl* Tabs() const { return m_pTabs; }
    const CTrayNotifyIcon& TrayIcon() const { return m_TrayIcon; }

    // The option copies the General page keeps current.
    bool m_bOnTop = false;
    bool m_bAnimateIcon = false;
    bool m_bSpeakerBeep = false;
    bool m_bSoundBox = false;

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void AddLog(std::string_view url) override;
    void SignalKill() override;
    void ShowPage(int nIndex);
    // The tray image of the blocking state: on or off.
    void ShowStateImage();
    void MakeTopmost(bool bTopmost);
    void ShowTrayMenu();
    void ShowTipOfTheDay();

    IMainDialogHost& m_Host;
    QString m_strAppName;
    CMainServices m_Services;
    // The browsers are called there: the pages' reading of the open windows and the passes.
    // Ended first when the window goes, once everything on it has let go of the browsers.
    std::unique_ptr<CBrowserThread> m_pBrowserThread;
    CScanWorker m_ScanWorker;
    QBasicTimer m_ScanTimer;
    QBasicTimer m_KillImageTimer;
    CWaveSound m_Sound;
    CTrayNotifyIcon m_TrayIcon;
    QIcon m_hIconKill;
    QIcon m_hIconOn;

    CSlidingTabCtrl* m_pTabs = nullptr;
    CGeneralPage* m_pGeneralPage = nullptr;
    CHistoryPage* m_pHistoryPage = nullptr;
    CBlackListPage* m_pBlackListPage = nullptr;
    CWhiteListPage* m_pWhiteListPage = nullptr;
    CLogPage* m_pLogPage = nullptr;
    CAboutPage* m_pAboutPage = nullptr;
    QLabel* m_pPicture = nullptr;
    QLabel* m_pSupportText = nullptr;
    CMailLink* m_pSupportLink = nullptr;
    QPushButton* m_pHideButton = nullptr;
    QPushButton* m_pExitButton = nullptr;

    bool m_bWindowHidden = false;
    bool m_bBlocking = true;
    bool m_bExiting = false;
    EListLoad m_eWhiteLoad = EListLoad::Unreadable;
    EListLoad m_eBlackLoad = EListLoad::Unreadable;
};
