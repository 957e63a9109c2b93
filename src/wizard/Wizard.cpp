#include "wizard/Wizard.h"

#include <QApplication>

#include "wizard/FirstRunWizard.h"

int RunWizard(QWidget* parent, const CWizardHost* host) {
    if (host == nullptr || host->m_cbSize < sizeof(CWizardHost) ||
        host->m_pfnReadOption == nullptr || host->m_pfnWriteOption == nullptr ||
        host->m_pfnSetStartWithSystem == nullptr) {
        return 0;
    }
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        return 0;
    }
    // Nothing may unwind into the program, which calls through a C interface.
    try {
        CFirstRunWizard wizard(*host, parent);
        if (wizard.exec() != QDialog::Accepted) {
            return 0;
        }
        wizard.SaveChoices();
        return 1;
    } catch (...) {
        return 0;
    }
}
