// The wizard library as the program meets it: loaded with dlopen and driven through
// RunWizard, with a host table that records what the wizard stores.
#include "wizard/Wizard.h"

#include <QApplication>
#include <QCheckBox>
#include <QTimer>
#include <QWizard>

#include "support/ChildWithText.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

const char* const kBoxes[] = {"Animate tray icon", "Beep from PC speaker", "Sound from sound box",
                              "Start with the system"};

// Serves stored options and records, in order, every change the wizard asks for.
struct SRecordingHost {
    std::map<std::string, unsigned> values;
    std::string changes;
    int nStartAnswer = 1;
    CWizardHost table{sizeof(CWizardHost), this, &Read, &Write, &SetStart};

    static unsigned Read(void* context, const char* name, unsigned defaultValue) {
        const auto& values = static_cast<SRecordingHost*>(context)->values;
        const auto found = values.find(name);
        return found == values.end() ? defaultValue : found->second;
    }
    static int Write(void* context, const char* name, unsigned value) {
        static_cast<SRecordingHost*>(context)->Change(name + ("=" + std::to_string(value)));
        return 1;
    }
    static int SetStart(void* context, int enable) {
        auto* self = static_cast<SRecordingHost*>(context);
        self->Change(enable != 0 ? "entry on" : "entry off");
        return self->nStartAnswer;
    }
    void Change(const std::string& change) { changes += (changes.empty() ? "" : ", ") + change; }
};

// Runs the wizard; `drive` gets it once it shows, and whatever it leaves open is cancelled.
// Answers RunWizard's result, and whether a wizard showed.
std::pair<int, bool> RunWizardOn(const CWizardHost* host,
                                 const std::function<void(QWizard&)>& drive) {
    static const auto pfnRunWizard = [] {
        void* library = dlopen(WIZARD_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(library, nullptr) << dlerror();
        return reinterpret_cast<PFN_RUNWIZARD>(dlsym(library, "RunWizard"));
    }();
    bool bShown = false;
    // A wizard that never shows leaves the timer pending: it must die with this call.
    const QObject scope;
    QTimer::singleShot(0, &scope, [&] {
        auto* wizard = qobject_cast<QWizard*>(QApplication::activeModalWidget());
        bShown = wizard != nullptr;
        if (wizard != nullptr) {
            drive(*wizard);
            if (wizard->isVisible()) {
                wizard->reject();
            }
        }
    });
    return {pfnRunWizard(nullptr, host), bShown};
}

// The boxes start from the stored options. Finishing stores the signals, then writes the
// log-in entry when it is wanted or was on, and then the option that says it is there, if
// the entry could be written. Cancelling stores nothing.
TEST(Wizard, StoresTheChoicesThenTheEntryThenItsOption) {
    const struct {
        std::map<std::string, unsigned> stored;
        const char* szShown;    // the boxes as the wizard shows them
        const char* szChecked;  // the boxes as the user leaves them
        bool bFinish;
        int nStartAnswer;
        const char* szChanges;
    } cases[] = {
        {{}, "0000", "1011", true, 1, "banimico=1, bspeaker=0, bsndbox=1, entry on, bswwin=1"},
        {{}, "0000", "0001", true, 0, "banimico=0, bspeaker=0, bsndbox=0, entry on"},
        {{{"banimico", 0}, {"bspeaker", 7}, {"bsndbox", 1}, {"bswwin", 1}},
         "0111",
         "0110",
         true,
         1,
         "banimico=0, bspeaker=1, bsndbox=1, entry off, bswwin=0"},
        {{}, "0000", "1100", true, 1, "banimico=1, bspeaker=1, bsndbox=0"},
        {{}, "0000", "1111", false, 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.szChanges);
        SRecordingHost host;
        host.values = c.stored;
        host.nStartAnswer = c.nStartAnswer;
        std::string shown;
        const auto [nResult, bShown] = RunWizardOn(&host.table, [&](QWizard& wizard) {
            for (std::size_t i = 0; i < std::size(kBoxes); ++i) {
                QCheckBox* box = ChildWithText<QCheckBox>(wizard, QString::fromLatin1(kBoxes[i]));
                ASSERT_NE(box, nullptr);
                shown += box->isChecked() ? '1' : '0';
                box->setChecked(c.szChecked[i] == '1');
            }
            while (c.bFinish && !wizard.button(QWizard::FinishButton)->isVisible()) {
                wizard.next();
            }
            (c.bFinish ? wizard.button(QWizard::FinishButton)
                       : wizard.button(QWizard::CancelButton))
                ->click();
        });
        EXPECT_TRUE(bShown);
        EXPECT_EQ(nResult, c.bFinish ? 1 : 0);
        EXPECT_EQ(host.changes, c.szChanges);
        EXPECT_EQ(shown, c.szShown);
    }
}

TEST(Wizard, AnUnusableHostIsRefusedWithoutAWindow) {
    SRecordingHost host;
    CWizardHost hosts[4] = {host.table, host.table, host.table, host.table};
    hosts[0].m_cbSize = sizeof(CWizardHost) - 1;
    hosts[1].m_pfnReadOption = nullptr;
    hosts[2].m_pfnWriteOption = nullptr;
    hosts[3].m_pfnSetStartWithSystem = nullptr;
    for (const CWizardHost* table :
         {static_cast<CWizardHost*>(nullptr), &hosts[0], &hosts[1], &hosts[2], &hosts[3]}) {
        EXPECT_EQ(RunWizardOn(table, [](QWizard&) {}), std::make_pair(0, false));
    }
    EXPECT_TRUE(host.changes.empty());
}

}  // namespace
