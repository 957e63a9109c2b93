// The wizard library as the program meets it: loaded with dlopen and driven through
// RunWizard, with a host table that records what the wizard stores.

#include "wizard/Wizard.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QTimer>
#include <QWizard>

#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// Serves stored options and records, in order, every change the wizard asks for.
struct CRecordingHost {
    std::map<std::string, unsigned> values;
    std::vector<std::string> changes;
    int nStartAnswer = 1;
    CWizardHost table{sizeof(CWizardHost), this, &Read, &Write, &SetStart};

    static unsigned Read(void* context, const char* name, unsigned defaultValue) {
        const auto& values = static_cast<CRecordingHost*>(context)->values;
        const auto found = values.find(name);
        return found == values.end() ? defaultValue : found->second;
    }
    static int Write(void* context, const char* name, unsigned value) {
        auto* self = static_cast<CRecordingHost*>(context);
        self->values[name] = value;
        self->changes.push_back(std::string(name) + "=" + std::to_string(value));
        return 1;
    }
    static int SetStart(void* context, int enable) {
        auto* self = static_cast<CRecordingHost*>(context);
        self->changes.push_back(enable != 0 ? "log-in entry on" : "log-in entry off");
        return self->nStartAnswer;
    }
};

using Strings = std::vector<std::string>;

class WizardTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_pLibrary = dlopen(WIZARD_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(s_pLibrary, nullptr) << dlerror();
        s_pfnRunWizard = reinterpret_cast<PFN_RUNWIZARD>(dlsym(s_pLibrary, "RunWizard"));
        ASSERT_NE(s_pfnRunWizard, nullptr);
    }

    // Runs the wizard; `drive` gets it once it is shown, and whatever it leaves open is
    // cancelled. Answers RunWizard's result.
    int Run(const CWizardHost* host, const std::function<void(QWizard&)>& drive) {
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &timer, [&] {
            auto* wizard = qobject_cast<QWizard*>(QApplication::activeModalWidget());
            m_bShown = wizard != nullptr;
            if (wizard != nullptr) {
                drive(*wizard);
                if (wizard->isVisible()) {
                    wizard->reject();
                }
            }
        });
        timer.start(0);
        return s_pfnRunWizard(nullptr, host);
    }

    static QCheckBox* Box(const QWizard& wizard, const char* text) {
        for (QCheckBox* box : wizard.findChildren<QCheckBox*>()) {
            if (box->text() == QLatin1String(text)) {
                return box;
            }
        }
        ADD_FAILURE() << "no check box " << text;
        static QCheckBox s_Stray;  // keeps a failing test running to its end
        return &s_Stray;
    }

    static void Finish(QWizard& wizard) {
        for (int nPage = 0; nPage < 10 && !wizard.button(QWizard::FinishButton)->isVisible();
             ++nPage) {
            wizard.next();
        }
        wizard.button(QWizard::FinishButton)->click();
    }

    static inline void* s_pLibrary = nullptr;
    static inline PFN_RUNWIZARD s_pfnRunWizard = nullptr;
    CRecordingHost m_Host;
    bool m_bShown = false;
};

// The log-in entry is written before the option that says it is there.
TEST_F(WizardTest, FinishStoresTheChoicesThenTheEntryThenItsOption) {
    const int nResult = Run(&m_Host.table, [](QWizard& wizard) {
        Box(wizard, "Animate tray icon")->setChecked(true);
        Box(wizard, "Sound from sound box")->setChecked(true);
        Box(wizard, "Start with the system")->setChecked(true);
        Finish(wizard);
    });
    EXPECT_EQ(nResult, 1);
    EXPECT_EQ(m_Host.changes,
              (Strings{"banimico=1", "bspeaker=0", "bsndbox=1", "log-in entry on", "bswwin=1"}));
}

TEST_F(WizardTest, EntryThatCannotBeWrittenLeavesTheOptionAlone) {
    m_Host.nStartAnswer = 0;
    Run(&m_Host.table, [](QWizard& wizard) {
        Box(wizard, "Start with the system")->setChecked(true);
        Finish(wizard);
    });
    EXPECT_EQ(m_Host.changes,
              (Strings{"banimico=0", "bspeaker=0", "bsndbox=0", "log-in entry on"}));
}

TEST_F(WizardTest, BoxesStartFromTheStoredOptions) {
    m_Host.values = {{"banimico", 0}, {"bspeaker", 7}, {"bsndbox", 1}, {"bswwin", 1}};
    std::vector<bool> shown;
    Run(&m_Host.table, [&](QWizard& wizard) {
        for (const char* text : {"Animate tray icon", "Beep from PC speaker",
                                 "Sound from sound box", "Start with the system"}) {
            shown.push_back(Box(wizard, text)->isChecked());
        }
        Box(wizard, "Start with the system")->setChecked(false);
        Finish(wizard);
    });
    EXPECT_EQ(shown, (std::vector<bool>{false, true, true, true}));
    EXPECT_EQ(m_Host.changes,
              (Strings{"banimico=0", "bspeaker=1", "bsndbox=1", "log-in entry off", "bswwin=0"}));
}

TEST_F(WizardTest, CancelStoresNothing) {
    const int nResult = Run(&m_Host.table, [](QWizard& wizard) {
        Box(wizard, "Animate tray icon")->setChecked(true);
        Box(wizard, "Start with the system")->setChecked(true);
        wizard.next();
        wizard.reject();
    });
    EXPECT_TRUE(m_bShown);
    EXPECT_EQ(nResult, 0);
    EXPECT_TRUE(m_Host.changes.empty());
}

TEST_F(WizardTest, UnusableHostIsRefusedWithoutAWindow) {
    CWizardHost hosts[4] = {m_Host.table, m_Host.table, m_Host.table, m_Host.table};
    hosts[0].m_cbSize = sizeof(CWizardHost) - 1;
    hosts[1].m_pfnReadOption = nullptr;
    hosts[2].m_pfnWriteOption = nullptr;
    hosts[3].m_pfnSetStartWithSystem = nullptr;
    for (const CWizardHost* host :
         {static_cast<CWizardHost*>(nullptr), &hosts[0], &hosts[1], &hosts[2], &hosts[3]}) {
        m_bShown = false;
        EXPECT_EQ(Run(host, [](QWizard&) {}), 0);
        EXPECT_FALSE(m_bShown);
    }
    EXPECT_TRUE(m_Host.changes.empty());
}

TEST(WizardLibraryTest, ExportsRunWizardOnly) {
    FILE* pipe = popen("nm -D --defined-only '" WIZARD_LIBRARY "'", "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> symbols;
    char line[512];
    while (fgets(line, sizeof line, pipe) != nullptr) {
        std::string text(line);
        text.erase(text.find_last_not_of("\r\n") + 1);
        symbols.insert(text.substr(text.rfind(' ') + 1));
    }
    ASSERT_EQ(pclose(pipe), 0);
    EXPECT_EQ(symbols, std::set<std::string>{"RunWizard"});
}

}  // namespace
