#include "cleaner/CleaningRoutines.h"

#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/linux/cleaner/LinuxBrowserData.h"
#include "platform/linux/cleaner/LinuxFileSystem.h"
#include "support/HookedFileSystem.h"
#include "support/RecordingCleanReport.h"
#include "support/TempDir.h"
#include "support/TextFile.h"
#include "support/Unprivileged.h"

namespace fs = std::filesystem;
using testing::IsEmpty;
using Paths = std::vector<std::string>;

namespace {

// Every path under `dir`, relative to it, links not followed.
Paths Tree(const fs::path& dir) {
    Paths paths;
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
    fs::path share = home / ".local/share";
    fs::path recent = share / "RecentDocuments";
    SDataFolder recentFolder{share.string(), "RecentDocuments"};
    fs::path outside = tmp / "outside";
    CLinuxFileSystem files{{home.string()}};
    CLinuxBrowserData data{{}, {home / ".config", home / ".cache", share}, std::chrono::seconds(1)};
    CCleaningRoutines routines{files, data};

    SHome() {
        fs::create_directories(recent);
        WriteTextFile(outside / "secret.txt", "secret");
        WriteTextFile(outside / "dir/keep.txt", "keep");
    }
};

class FolderContents : public testing::TestWithParam<bool> {};

// Whatever a data folder may hold, emptied by an ordinary user as the recent folder (false)
// or as the cache (true), and nothing outside it.
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
    WriteTextFile(top / "deep/index.DAT", std::string(100, 'r'));
    ASSERT_EQ(::mkfifo((top / "sub/deeper/index.dat").c_str(), 0644), 0);
    WriteTextFile(h.outside / "target.dat", std::string(200, 't'));
    fs::create_symlink(h.outside / "target.dat", top / "deep/index.dat");
    fs::create_symlink(h.outside / "dir", top / "deep/link-dir");
    // The unprivileged child must reach the tree and own it.
    fs::permissions(h.tmp.Path(), fs::perms(0755));
    ASSERT_TRUE(GiveTreeToUnprivileged(h.tmp.Path()));
    fs::permissions(top / "sub", fs::perms(0555));
    fs::permissions(top / "deep/index.DAT", fs::perms(0444));
    fs::permissions(top / "sub/INDEX.DAT", fs::perms(0444));

    // Only the files directly in the top folder are reported, each path whole.
    Paths expected = {"a.txt", "index.dat", "ro.txt", longName, "link-file", "link-dir"};
    if (bAsCache) {
        expected.push_back("desktop.ini");
    }
    std::ranges::sort(expected);
    EXPECT_EQ(RunUnprivileged([&] {
                  CRecordingCleanReport report;
                  h.routines.DeleteFolderContents(h.recentFolder, bAsCache, bAsCache, &report, {});
                  Paths reported;
                  for (const std::string& item : report.m_items) {
                      reported.push_back(fs::path(item).lexically_relative(top).string());
                  }
                  std::ranges::sort(reported);
                  return (report.m_skipped.empty() && report.m_failed.empty() ? 0 : 1) +
                         (reported == expected ? 0 : 2);
              }),
              0)
        << "1: something was reported as failed, 2: other items were reported";
    EXPECT_EQ(Tree(top), (bAsCache ? Paths{} : Paths{"desktop.ini", "sub", "sub/DeskTop.INI"}));

    EXPECT_EQ(Tree(h.outside), (Paths{"dir", "dir/keep.txt", "probe", "secret.txt", "target.dat"}));
    EXPECT_EQ(ReadTextFile(h.outside / "secret.txt"), "secret");
    EXPECT_EQ(ReadTextFile(h.outside / "target.dat"), std::string(200, 't'));
    // A file with another name is deleted, never overwritten nor given permissions.
    EXPECT_EQ(ReadTextFile(h.outside / "probe"), std::string(10065, 'x'));
    EXPECT_EQ(fs::status(h.outside / "probe").permissions(), fs::perms(0444));
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
        std::unique_ptr<IFolder> pFolder;
        ASSERT_EQ(h.files.OpenDataFolder(h.recentFolder, &pFolder), EOpenResult::Opened);
        EXPECT_TRUE(h.routines.ZeroFileBody(*pFolder, "index.dat"));
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
}

// What resists the walk is said once, where it happened, and the walk goes on: a write or
// a flush of the zeros that fails, a file that stays.
TEST(FolderContentsFailures, AreReportedOnceWhereTheyHappen) {
    const struct {
        const char* szOp;
        const char* szFile;
        const char* szReported;  // below the recent folder
    } cases[] = {
        {"write", "index.dat",
         "/index.dat could not be overwritten with zeros before its deletion"},
        {"flush", "sub/INDEX.DAT",
         "/sub/INDEX.DAT could not be overwritten with zeros before its deletion"},
        {"delete", "sub/deeper/c.txt",
         "/sub/deeper could not be emptied: some of what it holds stayed"},
        {"delete", "a.txt", " could not be emptied: some of what it holds stayed"},
    };
    for (const auto& c : cases) {
        SHome h;
        for (const char* name : {"a.txt", "index.dat", "sub/INDEX.DAT", "sub/deeper/c.txt"}) {
            WriteTextFile(h.recent / name, std::string(200, 'x'));
        }
        const std::string failing = (h.recent / c.szFile).string();
        CHookedFileSystem hooked(h.files, [&](std::string_view strOp, const std::string& path) {
            return strOp != c.szOp || path != failing;
        });
        CCleaningRoutines routines(hooked, h.data);
        CRecordingCleanReport report;
        routines.DeleteFolderContents(h.recentFolder, true, true, &report, {});
        EXPECT_EQ(report.m_failed, Paths{h.recent.string() + c.szReported})
            << c.szOp << " " << c.szFile;
        EXPECT_EQ(fs::exists(h.recent / c.szFile), std::string_view(c.szOp) == "delete");
    }
}

// The walk is deep in a/b when a/ is swapped for a link to a folder that looks the same: it
// goes on in the folder it entered, wherever that is now, and the look-alike stays whole.
TEST(FolderContentsSwap, AFolderSwappedForALinkIsNotFollowed) {
    SHome h;
    for (const char* name : {"a/b/1", "a/b/2", "a/b/3"}) {
        WriteTextFile(h.recent / name, name);
        WriteTextFile(h.outside / name, name);
    }
    bool bSwapped = false;
    CHookedFileSystem hooked(h.files, [&](std::string_view, const std::string& path) {
        if (!bSwapped && path.starts_with((h.recent / "a/b/").string())) {
            fs::rename(h.recent / "a", h.tmp / "moved");
            fs::create_directory_symlink(h.outside / "a", h.recent / "a");
            bSwapped = true;
        }
        return true;
    });
    CCleaningRoutines routines(hooked, h.data);
    CRecordingCleanReport report;
    routines.DeleteFolderContents(h.recentFolder, false, false, &report, {});
    ASSERT_TRUE(bSwapped);
    EXPECT_EQ(Tree(h.outside / "a"), (Paths{"b", "b/1", "b/2", "b/3"}));
    EXPECT_THAT(Tree(h.tmp / "moved"), IsEmpty());
    EXPECT_THAT(report.m_failed, IsEmpty());
}

// A folder of the same file system bind-mounted inside the recent folder, or over it, is
// neither entered nor given write permission, and is reported; the rest is emptied.
TEST(FolderContentsMounts, AMountPointIsNeverEntered) {
    for (const char* szMountPoint : {"sub", ""}) {
        SHome h;
        WriteTextFile(h.recent / "a.txt", "a");
        fs::create_directories(h.recent / "sub");
        const std::string mountPoint =
            *szMountPoint != '\0' ? (h.recent / szMountPoint).string() : h.recent.string();
        fs::permissions(h.outside / "dir", fs::perms(0555));
        if (::mount((h.outside / "dir").c_str(), mountPoint.c_str(), nullptr, MS_BIND, nullptr) !=
            0) {
            GTEST_SKIP() << "a bind mount needs root (CAP_SYS_ADMIN): " << std::strerror(errno);
        }
        CRecordingCleanReport report;
        h.routines.CleanRecent(&report, {});
        ::umount2(mountPoint.c_str(), MNT_DETACH);
        EXPECT_EQ(Tree(h.outside / "dir"), Paths{"keep.txt"});
        EXPECT_EQ(fs::status(h.outside / "dir").permissions(), fs::perms(0555));
        EXPECT_EQ(report.m_failed, Paths{mountPoint + " is a mount point: it was left as it is"});
        EXPECT_EQ(report.m_items.size(), *szMountPoint != '\0' ? 1U : 0U) << szMountPoint;
    }
}

}  // namespace
