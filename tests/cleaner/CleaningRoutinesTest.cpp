#include "cleaner/CleaningRoutines.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>

#include "platform/linux/cleaner/LinuxBrowserData.h"
#include "platform/linux/cleaner/LinuxFileSystem.h"
#include "support/RecordingCleanReport.h"
#include "support/TempDir.h"
#include "support/TextFile.h"
#include "support/Unprivileged.h"

namespace fs = std::filesystem;
using testing::IsEmpty;
using testing::UnorderedElementsAreArray;

namespace {

// Every path under `dir`, relative to it, links not followed.
std::vector<std::string> Tree(const fs::path& dir) {
    std::vector<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        paths.push_back(entry.path().lexically_relative(dir).string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

// The real file system and the real data folders of a home folder under a temporary one,
// with files outside them that must stay.
struct SHome {
    CTempDir tmp;
    fs::path home = tmp / "home";
    fs::path recent = home / ".local/share/RecentDocuments";
    fs::path outside = tmp / "outside";
    CLinuxFileSystem files;
    CLinuxBrowserData data{{},
                           {home, home / ".config", home / ".cache", home / ".local/share"},
                           std::chrono::seconds(1)};
    CCleaningRoutines routines{files, data};

    SHome() {
        fs::create_directories(recent);
        WriteTextFile(outside / "secret.txt", "secret");
        WriteTextFile(outside / "dir/keep.txt", "keep");
    }
};

class FolderContents : public testing::TestWithParam<bool> {};

// A tree with what a data folder may hold, emptied by an ordinary user, as the recent folder
// (false) or as the cache (true): links to outside files and folders, a read-only folder, a
// read-only file, "desktop.ini" and "INDEX.DAT" at several depths, a pipe named
// "index.dat", a name that makes a path over 255 bytes.
TEST_P(FolderContents, EmptiesTheTreeAndNothingOutsideIt) {
    const bool bAsCache = GetParam();
    SHome h;
    const fs::path& top = h.recent;
    const std::string longName(250, 'n');
    for (const char* name : {"a.txt", "desktop.ini", "ro.txt", "sub/b.txt", "sub/DeskTop.INI",
                             "sub/deeper/c.txt", "deep/x"}) {
        WriteTextFile(top / name, name);
    }
    WriteTextFile(top / "index.dat", std::string(100, 'i'));
    fs::permissions(top / "ro.txt", fs::perms(0444));
    WriteTextFile(top / longName, "long");
    fs::create_symlink(h.outside / "secret.txt", top / "link-file");
    fs::create_symlink(h.outside / "dir", top / "link-dir");
    WriteTextFile(top / "sub/INDEX.DAT", std::string(10065, 'x'));
    // A second name of the same file, outside, shows what was written to it.
    fs::create_hard_link(top / "sub/INDEX.DAT", h.outside / "probe");
    ASSERT_EQ(::mkfifo((top / "sub/deeper/index.dat").c_str(), 0644), 0);
    WriteTextFile(h.outside / "target.dat", std::string(200, 't'));
    fs::create_symlink(h.outside / "target.dat", top / "deep/index.dat");
    fs::create_symlink(h.outside / "dir", top / "deep/link-dir");
    // The unprivileged child must reach the tree and own it.
    fs::permissions(h.tmp.Path(), fs::perms(0755));
    ASSERT_TRUE(GiveTreeToUnprivileged(h.tmp.Path()));
    fs::permissions(top / "sub", fs::perms(0555));

    const fs::path reportFile = h.tmp / "reports";
    ASSERT_EQ(RunUnprivileged([&] {
                  CRecordingCleanReport report;
                  h.routines.DeleteFolderContents(top.string(), bAsCache, bAsCache, &report, {});
                  std::ofstream out(reportFile);
                  for (const std::string& item : report.m_items) {
                      out << item << '\n';
                  }
                  return report.m_skipped.empty() ? 0 : 1;
              }),
              0);

    std::vector<std::string> expected = {"a.txt",  "index.dat", "ro.txt",
                                         longName, "link-file", "link-dir"};
    if (bAsCache) {
        expected.push_back("desktop.ini");
        EXPECT_THAT(Tree(top), IsEmpty());
    } else {
        EXPECT_EQ(Tree(top), (std::vector<std::string>{"desktop.ini", "sub", "sub/DeskTop.INI"}));
    }
    std::vector<std::string> reported;
    std::ifstream in(reportFile);
    for (std::string line; std::getline(in, line);) {
        reported.push_back(fs::path(line).lexically_relative(top).string());
    }
    // Only the files directly in the top folder, each path whole.
    EXPECT_THAT(reported, UnorderedElementsAreArray(expected));

    EXPECT_EQ(Tree(h.outside), (std::vector<std::string>{"dir", "dir/keep.txt", "probe",
                                                         "secret.txt", "target.dat"}));
    EXPECT_EQ(ReadTextFile(h.outside / "secret.txt"), "secret");
    EXPECT_EQ(ReadTextFile(h.outside / "target.dat"), std::string(200, 't'));
    EXPECT_EQ(ReadTextFile(h.outside / "probe"),
              bAsCache ? std::string(64, 'x') + std::string(10001, '\0') : std::string(10065, 'x'));
}

INSTANTIATE_TEST_SUITE_P(Table, FolderContents, testing::Bool());

// The first 64 bytes stay, the rest is zeros, the length is kept.
TEST(ZeroFileBody, KeepsTheHeaderAndTheLength) {
    SHome h;
    for (const std::size_t nSize : {10, 64, 65, 10064, 30065}) {
        std::string content(nSize, '\0');
        for (std::size_t i = 0; i < content.size(); ++i) {
            content[i] = static_cast<char>('a' + i % 26);
        }
        WriteTextFile(h.recent / "index.dat", content);
        h.routines.ZeroFileBody(h.recent.string(), "index.dat");
        std::fill(content.begin() + std::min<std::size_t>(nSize, 64), content.end(), '\0');
        EXPECT_EQ(ReadTextFile(h.recent / "index.dat"), content) << nSize;
    }
}

TEST(FolderContentsStop, NothingIsDeletedOrReportedAfterTheStop) {
    SHome h;
    for (const char* name : {"1", "2", "3", "4", "5"}) {
        WriteTextFile(h.recent / name, name);
    }
    std::stop_source stop;
    CRecordingCleanReport report;
    report.m_onItem = [&stop] { stop.request_stop(); };
    h.routines.CleanRecent(&report, stop.get_token());
    EXPECT_EQ(report.m_items.size(), 1U);
    EXPECT_EQ(Tree(h.recent).size(), 4U);
    // Without a browser the cache walk finds nothing to delete.
    h.routines.CleanCookies(&report, {});
    EXPECT_EQ(report.m_items.size(), 1U);
}

}  // namespace
