#include "pages/RegistryKey.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/AutostartEntry.h"

namespace {

// A log-in entry that remembers what it was told.
class CRecordingAutostart final : public IAutostartEntry {
public:
    bool Set(std::string_view path) override { return m_Writes.emplace_back(path), true; }
    bool SetEmpty() override { return m_Writes.emplace_back("(empty)"), true; }
    std::vector<std::string> m_Writes;
};

// Only the program's value of the log-on list, named in any letter case, reaches the entry.
TEST(RegistryKeyTest, OnlyTheProgramsValueOfTheLogOnListIsTheLogInEntry) {
    const char* const szRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const struct {
        HKEY hRoot;
        const char* szPath;
        const char* szName;
        bool bOpens, bWritten;
    } cases[] = {
        {HKEY_LOCAL_MACHINE, szRun, "QLIO", true, true},
        {HKEY_LOCAL_MACHINE, "SOFTWARE\\microsoft\\WINDOWS\\currentversion\\run", "qlio", true,
         true},
        {HKEY_CURRENT_USER, szRun, "QLIO", false, false},
        {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "QLIO", false,
         false},
        {HKEY_LOCAL_MACHINE, szRun, "QLIOX", true, false},
    };
    for (const auto& c : cases) {
        CRecordingAutostart autostart;
        CRegistryKey key(autostart);
        EXPECT_EQ(key.Open(c.hRoot, c.szPath), c.bOpens) << c.szPath;
        EXPECT_EQ(key.SetString(c.szName, "/usr/bin/quellio"), c.bWritten) << c.szName;
        EXPECT_EQ(key.SetString(c.szName, ""), c.bWritten) << c.szName;
        key.Close();
        EXPECT_FALSE(key.SetString(c.szName, "/closed")) << "a closed key writes nothing";
        const std::vector<std::string> written{"/usr/bin/quellio", "(empty)"};
        EXPECT_EQ(autostart.m_Writes, c.bWritten ? written : std::vector<std::string>{});
    }
}

}  // namespace
