#include "wizard/FirstRunWizard.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>
#include <QWizardPage>

namespace {

QLabel* CreateText(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

}  // namespace

CFirstRunWizard::CFirstRunWizard(const CWizardHost& host, QWidget* parent)
    : QWizard(parent), m_Host(host) {
    setWindowTitle(QStringLiteral("Quellio"));
    setOption(QWizard::NoBackButtonOnStartPage);
    addPage(CreateWelcomePage());
    addPage(CreateSignalsPage());
    addPage(CreateStartPage());
}

QWizardPage* CFirstRunWizard::CreateWelcomePage() {
    auto* page = new QWizardPage(this);
    page->setTitle(QStringLiteral("Welcome to Quellio"));
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(CreateText(
        QStringLiteral("Quellio closes the pop-up windows that web pages open in your browser."),
        page));
    layout->addWidget(CreateText(
        QStringLiteral("It lives in the system tray and looks at your browser's windows twice a "
                       "second. A window without an address bar or a tool bar is a pop-up: it "
                       "is closed unless its address is on your white list. A window whose "
                       "address is on your black list is always closed."),
        page));
    layout->addWidget(CreateText(
        QStringLiteral("Every closed window is listed on the Logs page, from where you can put "
                       "its address on the white list. Press Ctrl+Alt+A anywhere to switch "
                       "blocking off and on."),
        page));
    layout->addWidget(CreateText(
        QStringLiteral("Quellio works with Chromium, Google Chrome, Brave and Microsoft Edge. If "
                       "it cannot see your browser, start the browser with quellio-browser."),
        page));
    layout->addStretch();
    return page;
}

QWizardPage* CFirstRunWizard::CreateSignalsPage() {
    auto* page = new QWizardPage(this);
    page->setTitle(QStringLiteral("When a pop-up is closed"));
    page->setSubTitle(QStringLiteral("Choose how Quellio tells you that it has closed a window."));
    auto* layout = new QVBoxLayout(page);
    m_pAnimateIcon = CreateOptionBox(QStringLiteral("Animate tray icon"), OPT_ANIMICON, page);
    m_pSpeakerBeep = CreateOptionBox(QStringLiteral("Beep from PC speaker"), OPT_SPEAKER, page);
    m_pSoundBox = CreateOptionBox(QStringLiteral("Sound from sound box"), OPT_SOUNDBOX, page);
    layout->addWidget(m_pAnimateIcon);
    layout->addWidget(m_pSpeakerBeep);
    layout->addWidget(m_pSoundBox);
    layout->addStretch();
    return page;
}

QWizardPage* CFirstRunWizard::CreateStartPage() {
    auto* page = new QWizardPage(this);
    page->setTitle(QStringLiteral("Start with the system"));
    page->setSubTitle(QStringLiteral(
        "Quellio can start by itself when you log in, so that pop-ups are closed from the "
        "start."));
    auto* layout = new QVBoxLayout(page);
    m_pStartWithSystem =
        CreateOptionBox(QStringLiteral("Start with the system"), OPT_STARTWIN, page);
    layout->addWidget(m_pStartWithSystem);
    layout->addSpacing(12);
    layout->addWidget(CreateText(
        QStringLiteral("You can change each of these choices later on the General page."), page));
    layout->addStretch();
    return page;
}

QCheckBox* CFirstRunWizard::CreateOptionBox(const QString& text, const COption& option,
                                            QWidget* parent) const {
    auto* box = new QCheckBox(text, parent);
    box->setChecked(ReadOption(option));
    return box;
}

void CFirstRunWizard::SaveChoices() const {
    WriteOption(OPT_ANIMICON, m_pAnimateIcon->isChecked());
    WriteOption(OPT_SPEAKER, m_pSpeakerBeep->isChecked());
    WriteOption(OPT_SOUNDBOX, m_pSoundBox->isChecked());

    // No entry is written just to say "off" when none was asked for before, and "bswwin"
    // only follows an entry that was really written.
    const bool bStart = m_pStartWithSystem->isChecked();
    if (bStart || ReadOption(OPT_STARTWIN)) {
        if (m_Host.m_pfnSetStartWithSystem(m_Host.m_pContext, bStart ? 1 : 0) != 0) {
            WriteOption(OPT_STARTWIN, bStart);
        }
    }
}

bool CFirstRunWizard::ReadOption(const COption& option) const {
    return m_Host.m_pfnReadOption(m_Host.m_pContext, option.szName, option.dwDefault) != 0;
}

void CFirstRunWizard::WriteOption(const COption& option, bool bOn) const {
    m_Host.m_pfnWriteOption(m_Host.m_pContext, option.szName, bOn ? 1 : 0);
}
