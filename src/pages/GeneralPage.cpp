#include "pages/GeneralPage.h"

#include <algorithm>
#include <string>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QStyleFactory>

#include "platform/AutostartEntry.h"
#include "platform/ModulePath.h"
#include "store/SettingsStore.h"
#include "widgets/DialogUnits.h"

namespace {

// `style`: the style that draws the frame, or null for the application's.
void AddGroupBox(const QString& title, const QRect& rect, QStyle* style, QWidget* parent) {
    auto* box = new QGroupBox(title, parent);
    if (style != nullptr) {
        box->setStyle(style);
    }
    box->setGeometry(rect);
}

void AddLabel(const QString& text, const QRect& rect, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(rect);
}

DWORD AsOption(bool bChecked) {
    return bChecked ? 1 : 0;
}

}  // namespace

CGeneralPage::CGeneralPage(const CSettingsStore& store, IAutostartEntry& autostart,
                           const CLiveOptions& liveOptions, QWidget* parent)
    : QWidget(parent), m_Store(store), m_Autostart(autostart), m_Live(liveOptions) {
    setFont(QFont(QStringLiteral("Verdana"), 8));

    // Frames with their titles on the line, so that the texts inside stand where they belong;
    // a Qt built without that style draws them in the application's style.
    QStyle* frameStyle = QStyleFactory::create(QStringLiteral("Windows"));
    if (frameStyle != nullptr) {
        frameStyle->setParent(this);
    }
    AddGroupBox(QStringLiteral("General"), QRect(12, 0, 306, 100), frameStyle, this);
    AddGroupBox(QStringLiteral("Custom"), QRect(12, 100, 306, 94), frameStyle, this);
    AddGroupBox(QStringLiteral("Table Setting"), QRect(12, 194, 306, 58), frameStyle, this);
    // Where the page's template puts these two texts.
    const CDialogUnits units(font());
    AddLabel(QStringLiteral("Enable the option according as your custom"),
             units.MapDialogRect(15, 9, 160, 10), this);
    AddLabel(QStringLiteral("When a pop-up window is killed"), units.MapDialogRect(15, 71, 160, 10),
             this);

    m_pStartWin = AddCheckBox(QStringLiteral("Start with windows"), QRect(26, 36, 150, 16),
                              &CGeneralPage::OnStartWithWindows);
    m_pMinStart = AddCheckBox(QStringLiteral("Minimize when starts"), QRect(26, 56, 150, 16),
                              &CGeneralPage::OnMinimizeWhenStarts);
    m_pOnTop = AddCheckBox(QStringLiteral("Always on top"), QRect(26, 76, 150, 16),
                           &CGeneralPage::OnAlwaysOnTop);
    m_pAnimateIcon = AddCheckBox(QStringLiteral("Animate tray icon"), QRect(26, 130, 150, 16),
                                 &CGeneralPage::OnAnimateIcon);
    m_pSpeakerBeep = AddCheckBox(QStringLiteral("Beep from PC speaker"), QRect(26, 150, 150, 16),
                                 &CGeneralPage::OnSpeakerBeep);
    m_pSoundBox = AddCheckBox(QStringLiteral("Sound from sound box"), QRect(26, 170, 150, 16),
                              &CGeneralPage::OnSoundBox);
    m_pMove = AddCheckBox(QStringLiteral("Move Table"), QRect(26, 214, 150, 16),
                          &CGeneralPage::OnMoveTable);

    // The boxes show the stored options, whatever the log-in entry or the window is now.
    const auto isOn = [this](const COption& option) {
        return m_Store.ReadRegDword(REGKEY_OPTION, option.szName, 0) != 0;
    };
    m_pStartWin->setChecked(isOn(OPT_STARTWIN));
    m_pMinStart->setChecked(isOn(OPT_MINSTART));
    m_pOnTop->setChecked(isOn(OPT_ONTOP));
    m_pAnimateIcon->setChecked(isOn(OPT_ANIMICON));
    m_pSpeakerBeep->setChecked(isOn(OPT_SPEAKER));
    m_pSoundBox->setChecked(isOn(OPT_SOUNDBOX));
    m_pMove->setChecked(isOn(OPT_MOVE));
    UpdateData();

    resize(334, 266);
    m_pSlider = new QSlider(Qt::Horizontal, this);
    m_pSlider->setGeometry(22, 232, 90, 18);
    m_pSlider->setTickPosition(QSlider::NoTicks);
    m_pSlider->setEnabled(m_bMove);
    AddLabel(QStringLiteral("How fast the table switch"), QRect(120, 232, 150, 18), this);

    m_pSlider->setRange(kMinSpeed, kMaxSpeed);
    // The steps of the arrow keys and of a click beside the handle: 1 and a fifth of the range.
    m_pSlider->setSingleStep(1);
    m_pSlider->setPageStep((kMaxSpeed - kMinSpeed) / 5);
    // A stored speed outside the range shows at its nearer end until the user moves it (the
    // slider clamps; capping first keeps a huge number from turning negative).
    const DWORD dwSpeed = m_Store.ReadRegDword(REGKEY_OPTION, OPT_SPEED.szName, 0);
    m_pSlider->setValue(dwSpeed == 0 ? kDefaultSpeed
                                     : static_cast<int>(std::min<DWORD>(dwSpeed, kMaxSpeed)));
    // Every move the user makes, by dragging, the arrow and page keys, the wheel or a click
    // beside the handle; setting the value above is none.
    connect(m_pSlider, &QSlider::actionTriggered, this, &CGeneralPage::OnHScroll);
}

QCheckBox* CGeneralPage::AddCheckBox(const QString& text, const QRect& rect,
                                     void (CGeneralPage::*handler)()) {
    auto* box = new QCheckBox(text, this);
    box->setGeometry(rect);
    // Only the user's clicks: setting the stored state at start is no change to act on.
    connect(box, &QCheckBox::clicked, this, handler);
    return box;
}

void CGeneralPage::UpdateData() {
    m_bMove = m_pMove->isChecked();
    m_bStartWin = m_pStartWin->isChecked();
    m_bMinStart = m_pMinStart->isChecked();
    m_bOnTop = m_pOnTop->isChecked();
    m_bAnimateIcon = m_pAnimateIcon->isChecked();
    m_bBeep = m_pSpeakerBeep->isChecked();
    m_bSound = m_pSoundBox->isChecked();
}

void CGeneralPage::OnStartWithWindows() {
    UpdateData();
    // A failed write goes unnoticed: the box stays as the user set it.
    if (m_bStartWin) {
        (void)m_Autostart.Set(GetModuleFileName());
    } else {
        (void)m_Autostart.SetEmpty();
    }
    m_Store.WriteOption(OPT_STARTWIN, AsOption(m_bStartWin));
}

void CGeneralPage::OnMinimizeWhenStarts() {
    UpdateData();
    m_Store.WriteOption(OPT_MINSTART, AsOption(m_bMinStart));
}

void CGeneralPage::OnAlwaysOnTop() {
    UpdateData();
    m_Store.WriteOption(OPT_ONTOP, AsOption(m_bOnTop));
    m_Live.setTopmost(m_bOnTop);
    m_Live.bOnTop = m_bOnTop;
}

void CGeneralPage::OnAnimateIcon() {
    UpdateData();
    m_Store.WriteOption(OPT_ANIMICON, AsOption(m_bAnimateIcon));
    m_Live.bAnimateIcon = m_bAnimateIcon;
}

void CGeneralPage::OnSpeakerBeep() {
    UpdateData();
    m_Store.WriteOption(OPT_SPEAKER, AsOption(m_bBeep));
    m_Live.bSpeakerBeep = m_bBeep;
}

void CGeneralPage::OnSoundBox() {
    UpdateData();
    m_Store.WriteOption(OPT_SOUNDBOX, AsOption(m_bSound));
    m_Live.bSoundBox = m_bSound;
}

void CGeneralPage::OnMoveTable() {
    UpdateData();
    m_Store.WriteOption(OPT_MOVE, AsOption(m_bMove));
    m_pSlider->setEnabled(m_bMove);
    m_Live.bAppMove = m_bMove;
}

void CGeneralPage::OnHScroll() {
    // The action has moved the handle but not yet the value: the handle's place is the news.
    const int nSpeed = m_pSlider->sliderPosition();
    m_Live.nAppSpeed = nSpeed;
    m_Store.WriteOption(OPT_SPEED, static_cast<DWORD>(nSpeed));
}
