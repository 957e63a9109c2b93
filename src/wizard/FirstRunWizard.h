#pragma once

#include <QWizard>

#include "store/Options.h"
#include "wizard/Wizard.h"

class QCheckBox;
class QWizardPage;

// Three short pages: what Quellio does, how it signals a closed pop-up, and whether it
// starts with the system. The check boxes start from the stored options, so running the
// wizard again shows what is in effect.
class CFirstRunWizard : public QWizard {
public:
    CFirstRunWizard(const CWizardHost& host, QWidget* parent);

    // Stores the choices: the three signal options, then the log-in entry followed by
    // "bswwin", which only changes when the entry was written.
    void SaveChoices() const;

private:
    QWizardPage* CreateWelcomePage();
    QWizardPage* CreateSignalsPage();
    QWizardPage* CreateStartPage();
    QCheckBox* CreateOptionBox(const QString& text, const COption& option, QWidget* parent) const;

    bool ReadOption(const COption& option) const;
    void WriteOption(const COption& option, bool bOn) const;

    const CWizardHost& m_Host;
    QCheckBox* m_pAnimateIcon = nullptr;
    QCheckBox* m_pSpeakerBeep = nullptr;
    QCheckBox* m_pSoundBox = nullptr;
    QCheckBox* m_pStartWithSystem = nullptr;
};
