#pragma once

#include <functional>

#include <QWidget>

class CSettingsStore;
class IAutostartEntry;
class QCheckBox;
class QSlider;

// The option copies that live outside the store, which the General page keeps current
// together with it: the main window's four flags and its stacking, and the application's
// copies of "bmove" and "speed".
struct CLiveOptions {
    bool& bOnTop;
    bool& bAnimateIcon;
    bool& bSpeakerBeep;
    bool& bSoundBox;
    bool& bAppMove;
    int& nAppSpeed;
    // Puts the main window above all other windows and keeps it there, or makes it an
    // ordinary window again, at once.
    std::function<void(bool bTopmost)> setTopmost;
};

// The "General" page: the program's general options as seven check boxes and the slide
// speed slider. Every change is written to the store at once and, where the option has a
// live copy, to that copy too, so it takes effect without a restart. The boxes show the
// stored options, not the state of the log-in entry or of the main window.
class CGeneralPage : public QWidget {
public:
    static constexpr int kMinSpeed = 10;
    static constexpr int kMaxSpeed = 30;
    // Shown when "speed" was never stored.
    static constexpr int kDefaultSpeed = 20;

    CGeneralPage(const CSettingsStore& store, IAutostartEntry& autostart,
                 const CLiveOptions& liveOptions, QWidget* parent = nullptr);

    // "Start with windows": the log-in entry starts this executable, or is kept starting
    // nothing; "bswwin" is stored whatever the entry's write did.
    void OnStartWithWindows();
    void OnMinimizeWhenStarts();
    void OnAlwaysOnTop();
    void OnAnimateIcon();
    void OnSpeakerBeep();
    void OnSoundBox();
    // "Move Table": the slider is usable only while pages slide.
    void OnMoveTable();
    // Any move of the slider: the speed is stored and used from the next slide step on.
    void OnHScroll();

private:
    // Copies the check states of all seven boxes into their fields.
    void UpdateData();
    QCheckBox* AddCheckBox(const QString& text, const QRect& rect, void (CGeneralPage::*handler)());

    const CSettingsStore& m_Store;
    IAutostartEntry& m_Autostart;
    CLiveOptions m_Live;

    QSlider* m_pSlider = nullptr;
    QCheckBox* m_pSoundBox = nullptr;
    QCheckBox* m_pSpeakerBeep = nullptr;
    QCheckBox* m_pAnimateIcon = nullptr;
    QCheckBox* m_pOnTop = nullptr;
    QCheckBox* m_pMinStart = nullptr;
    QCheckBox* m_pStartWin = nullptr;
    QCheckBox* m_pMove = nullptr;

    bool m_bMove = false;
    bool m_bStartWin = false;
    bool m_bMinStart = false;
    bool m_bOnTop = false;
    bool m_bAnimateIcon = false;
    bool m_bBeep = false;
    bool m_bSound = false;
};
