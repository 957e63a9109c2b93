#include "cleaner/CleaningRoutines.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>

#include "platform/BrowserData.h"
#include "platform/linux/cleaner/LinuxBrowserData.h"
#include "platform/linux/cleaner/LinuxFileSystem.h"
#include "support/RecordingCleanReport.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

namespace fs = std::filesystem;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::UnorderedElementsAreArray;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

// Every path under `dir`, relative to it, links not followed.
std::vector<std::string> Tree(const fs::path& dir) {
    std::vector<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        paths.push_back(entry.path().lexically_relative(dir).string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

// The real file system and the real data folders of a home folder under a temporary one.
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
        fs::create_directories(outside / "dir");
        WriteFile(outside / "secret.txt", "secret");
        WriteFile(outside / "dir/keep.txt", "keep");
    }
};

struct SFlags {
    const char* name;
    bool bDeleteDesktopIni;
    bool bZeroIndexDat;
};

class FolderContents : public testing::TestWithParam<SFlags> {};

// A tree with what a data folder may hold, emptied by an ordinary user: links to outside
// files and folders, a read-only folder, a read-only file, "desktop.ini" and "INDEX.DAT"
// at several depths, a pipe named "index.dat", a name that makes a path over 255 bytes.
TEST_P(FolderContents, EmptiesTheTreeAndNothingOutsideIt) {
    SHome h;
    const fs::path& top = h.recent;
    const std::string longName(250, 'n');
    WriteFile(top / "a.txt", "a");
    WriteFile(top / "desktop.ini", "ini");
    WriteFile(top / "index.dat", std::string(100, 'i'));
    WriteFile(top / "ro.txt", "ro");
    fs::permissions(top / "ro.txt", fs::perms(0444));
    WriteFile(top / longName, "long");
    fs::create_symlink(h.outside / "secret.txt", top / "link-file");
    fs::create_symlink(h.outside / "dir", top / "link-dir");
    fs::create_directories(top / "sub/deeper");
    WriteFile(top / "sub/b.txt", "b");
    WriteFile(top / "sub/INDEX.DAT", std::string(10065, 'x'));
    // A second name of the same file, outside, shows what was written to it.
    fs::create_hard_link(top / "sub/INDEX.DAT", h.outside / "probe");
    WriteFile(top / "sub/DeskTop.INI", "ini");
    WriteFile(top / "sub/deeper/c.txt", "c");
    ASSERT_EQ(::mkfifo((top / "sub/deeper/index.dat").c_str(), 0644), 0);
    fs::create_directories(top / "deep");
    WriteFile(h.outside / "target.dat", std::string(200, 't'));
    fs::create_symlink(h.outside / "target.dat", top / "deep/index.dat");
    fs::create_symlink(h.outside / "dir", top / "deep/link-dir");
    // The unprivileged child must reach the tree and own it.
    fs::permissions(h.tmp.Path(), fs::perms(0755));
    ASSERT_TRUE(GiveTreeToUnprivileged(h.tmp.Path()));
    fs::permissions(top / "sub", fs::perms(0555));

    const fs::path reportFile = h.tmp / "reports";
    const int status = RunUnprivileged([&] {
        CRecordingCleanReport report;
        h.routines.DeleteFolderContents(top.string(), GetParam().bDeleteDesktopIni,
                                        GetParam().bZeroIndexDat, &report, {});
        std::ofstream out(reportFile);
        for (const std::string& item : report.m_items) {
            out << item << '\n';
        }
        return report.m_skipped.empty() ? 0 : 1;
    });
    ASSERT_EQ(status, 0);

    std::vector<std::string> expected = {"a.txt",  "index.dat", "ro.txt",
                                         longName, "link-file", "link-dir"};
    if (GetParam().bDeleteDesktopIni) {
        expected.push_back("desktop.ini");
        EXPECT_THAT(Tree(top), IsEmpty());
    } else {
        EXPECT_EQ(Tree(top), (std::vector<std::string>{"desktop.ini", "sub", "sub/DeskTop.INI"}));
    }
    for (std::string& name : expected) {
        name = (top / name).string();
    }
    std::vector<std::string> reported;
    std::ifstream in(reportFile);
    for (std::string line; std::getline(in, line);) {
        reported.push_back(line);
    }
    // Only the files directly in the top folder, each path whole.
    EXPECT_THAT(reported, UnorderedElementsAreArray(expected));

    EXPECT_EQ(Tree(h.outside), (std::vector<std::string>{"dir", "dir/keep.txt", "probe",
                                                         "secret.txt", "target.dat"}));
    EXPECT_EQ(ReadFile(h.outside / "secret.txt"), "secret");
    EXPECT_EQ(ReadFile(h.outside / "target.dat"), std::string(200, 't'));
    EXPECT_EQ(ReadFile(h.outside / "probe"), GetParam().bZeroIndexDat
                                                 ? std::string(64, 'x') + std::string(10001, '\0')
                                                 : std::string(10065, 'x'));
}

INSTANTIATE_TEST_SUITE_P(Table, FolderContents,
                         testing::Values(SFlags{"KeepingDesktopIni", false, false},
                                         SFlags{"AsTheCache", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Counts the writes of ZeroFileBody on a real file.
class CWriteCounter final : public IFileSystem {
public:
    bool ListFolder(const std::string& folder, std::vector<SFolderEntry>* entries) override {
        return m_files.ListFolder(folder, entries);
    }
    bool ClearReadOnly(const std::string& path) override { return m_files.ClearReadOnly(path); }
    bool DeleteFile(const std::string& path) override { return m_files.DeleteFile(path); }
    bool RemoveDirectory(const std::string& path) override { return m_files.RemoveDirectory(path); }
    std::unique_ptr<IOverwriteFile> OpenForOverwrite(const std::string& path) override {
        struct CCounted final : IOverwriteFile {
            CCounted(std::unique_ptr<IOverwriteFile> pFile, std::vector<std::size_t>& writes)
                : m_pFile(std::move(pFile)), m_writes(writes) {}
            std::uint64_t GetSize() override { return m_pFile->GetSize(); }
            bool Seek(std::uint64_t nOffset) override { return m_pFile->Seek(nOffset); }
            bool Write(const void* pData, std::size_t nSize) override {
                m_writes.push_back(nSize);
                return m_pFile->Write(pData, nSize);
            }
            std::unique_ptr<IOverwriteFile> m_pFile;
            std::vector<std::size_t>& m_writes;
        };
        auto pFile = m_files.OpenForOverwrite(path);
        return pFile ? std::make_unique<CCounted>(std::move(pFile), m_writes) : nullptr;
    }

    CLinuxFileSystem m_files;
    std::vector<std::size_t> m_writes;
};

struct SZeroCase {
    std::size_t nSize;
    std::vector<std::size_t> writes;
};

class ZeroFileBody : public testing::TestWithParam<SZeroCase> {};

TEST_P(ZeroFileBody, KeepsTheHeaderAndTheLength) {
    SHome h;
    CWriteCounter files;
    CCleaningRoutines routines(files, h.data);
    std::string content(GetParam().nSize, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<char>('a' + i % 26);
    }
    WriteFile(h.recent / "index.dat", content);

    routines.ZeroFileBody(h.recent.string(), "index.dat");

    EXPECT_EQ(files.m_writes, GetParam().writes);
    if (content.size() > 64) {
        std::fill(content.begin() + 64, content.end(), '\0');
    }
    EXPECT_EQ(ReadFile(h.recent / "index.dat"), content);
}

INSTANTIATE_TEST_SUITE_P(Table, ZeroFileBody,
                         testing::Values(SZeroCase{0, {}}, SZeroCase{10, {}}, SZeroCase{64, {}},
                                         SZeroCase{65, {1}}, SZeroCase{10064, {10000}},
                                         SZeroCase{10065, {10000, 1}},
                                         SZeroCase{30064, {10000, 10000, 10000}}),
                         [](const auto& info) {
                             return "Size" + std::to_string(info.param.nSize);
                         });

// Top folders that are not data folders are left as they are, however they are reached.
TEST(FolderContentsRefused, OutsideTheDataFolders) {
    SHome h;
    WriteFile(h.home / "canary", "home");
    WriteFile(h.recent / "doc.txt", "doc");
    for (const fs::path& folder : {h.home, h.outside, h.recent / "../../..", h.tmp / "missing"}) {
        CRecordingCleanReport report;
        h.routines.DeleteFolderContents(folder.string(), true, true, &report, {});
        EXPECT_THAT(report.m_items, IsEmpty()) << folder;
    }
    EXPECT_EQ(ReadFile(h.home / "canary"), "home");
    EXPECT_EQ(ReadFile(h.outside / "secret.txt"), "secret");

    // The recent folder swapped for a link to the home folder.
    fs::rename(h.recent, h.tmp / "old-recent");
    fs::create_directory_symlink(h.home, h.recent);
    CRecordingCleanReport report;
    h.routines.CleanRecent(&report, {});
    EXPECT_THAT(report.m_items, IsEmpty());
    EXPECT_EQ(ReadFile(h.home / "canary"), "home");
}

TEST(FolderContentsStopped, NothingIsDeletedOrReportedAfterTheStop) {
    SHome h;
    for (const char* name : {"1", "2", "3", "4", "5"}) {
        WriteFile(h.recent / name, name);
    }
    std::stop_source stop;
    CRecordingCleanReport report;
    report.m_onItem = [&stop] { stop.request_stop(); };

    h.routines.CleanRecent(&report, stop.get_token());

    EXPECT_EQ(report.m_items.size(), 1U);
    EXPECT_EQ(Tree(h.recent).size(), 4U);
}

// Browser data whose answers a test sets, recording what is asked of it.
class CFakeBrowserData final : public IBrowserData {
public:
    struct SEntry {
        SUrlCacheEntry entry;
        HRESULT hrDelete = S_OK;
    };
    struct SProfile {
        std::string strName;
        HRESULT hrHistory = S_OK;
        HRESULT hrFavorites = S_OK;
        std::vector<std::string> favorites;
    };

    std::vector<std::string> GetSpecialFolderPaths(ESpecialFolder) override { return {}; }
    bool ResolveDataFolder(const std::string&, std::string*) override { return false; }
    std::unique_ptr<IUrlCacheEnum> FindFirstUrlCacheEntry(SUrlCacheEntry* entry) override {
        struct CEnum final : IUrlCacheEnum {
            explicit CEnum(const CFakeBrowserData& data) : m_data(data) {}
            bool FindNextUrlCacheEntry(SUrlCacheEntry* entry) override {
                if (++m_nNext >= m_data.m_nReadable) {
                    return false;
                }
                *entry = m_data.m_entries[m_nNext].entry;
                return true;
            }
            const CFakeBrowserData& m_data;
            std::size_t m_nNext = 0;
        };
        if (m_nReadable == 0) {
            return nullptr;
        }
        *entry = m_entries.front().entry;
        return std::make_unique<CEnum>(*this);
    }
    HRESULT DeleteUrlCacheEntry(const std::string& strName) override {
        m_deleted.push_back(strName);
        for (const SEntry& known : m_entries) {
            if (known.entry.strSourceUrlName == strName) {
                return known.hrDelete;
            }
        }
        return E_FAIL;
    }
    std::vector<std::string> GetBrowserProfiles() override {
        std::vector<std::string> names;
        for (const SProfile& profile : m_profiles) {
            names.push_back(profile.strName);
        }
        return names;
    }
    HRESULT ClearHistory(const std::string& strProfile) override {
        return Profile(strProfile).hrHistory;
    }
    HRESULT FindFavoriteFiles(const std::string& strProfile,
                              std::vector<std::string>* files) override {
        *files = Profile(strProfile).favorites;
        return Profile(strProfile).hrFavorites;
    }
    HRESULT ClearRecentDocs() override {
        ++m_nRecentCleared;
        return S_OK;
    }

    std::vector<SEntry> m_entries;
    // How many entries the walk can read before a fetch fails.
    std::size_t m_nReadable = 0;
    std::vector<SProfile> m_profiles;
    std::vector<std::string> m_deleted;
    int m_nRecentCleared = 0;

private:
    const SProfile& Profile(const std::string& strName) const {
        return *std::find_if(m_profiles.begin(), m_profiles.end(),
                             [&](const SProfile& profile) { return profile.strName == strName; });
    }
};

struct SCacheCase {
    const char* name;
    int nMode;
    std::vector<std::string> deleted;
    std::vector<std::string> skipped;
};

class CacheEntries : public testing::TestWithParam<SCacheCase> {};

TEST_P(CacheEntries, OfOneKindAreDeletedUntilTheWalkFails) {
    CFakeBrowserData data;
    data.m_entries = {
        {{"cookies:A", COOKIE_CACHE_ENTRY | 1, "Chromium (Default)"}},
        {{"cache:A", 1, "Chromium (Default)"}, E_FAIL},
        {{"cookies:B", COOKIE_CACHE_ENTRY, "Brave (Default)"}, E_SHARING_VIOLATION},
        {{"cache:B", 1, "Brave (Default)"}, E_SHARING_VIOLATION},
        // Past the failing fetch.
        {{"cookies:C", COOKIE_CACHE_ENTRY, "C"}},
        {{"cache:C", 1, "C"}},
    };
    data.m_nReadable = 4;
    CLinuxFileSystem files;
    CCleaningRoutines routines(files, data);
    CRecordingCleanReport report;

    routines.DeleteCacheEntries(GetParam().nMode, &report, {});

    EXPECT_EQ(data.m_deleted, GetParam().deleted);
    EXPECT_EQ(report.m_skipped, GetParam().skipped);
    EXPECT_THAT(report.m_items, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, CacheEntries,
    testing::Values(
        SCacheCase{"Others",
                   0,
                   {"cache:A", "cache:B"},
                   {"Temporary Internet files of Brave (Default) are in use: close the browser "
                    "to clean them"}},
        SCacheCase{"Cookies",
                   1,
                   {"cookies:A", "cookies:B"},
                   {"Cookies of Brave (Default) are in use: close the browser to clean them"}},
        SCacheCase{"NoKind", 2, {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CacheEntriesEmpty, DeleteNothing) {
    CFakeBrowserData data;
    CLinuxFileSystem files;
    CCleaningRoutines(files, data).DeleteCacheEntries(1, nullptr, {});
    EXPECT_THAT(data.m_deleted, IsEmpty());
}

// History and favourites of each profile: what a running browser holds is reported once per
// profile; the history report comes once, after the history is cleared, and only then.
TEST(Profiles, InUseAreReportedOnceEachAndTheRestCleaned) {
    SHome h;
    WriteFile(h.tmp / "Bookmarks", "{}");
    CFakeBrowserData data;
    data.m_profiles = {
        {"Chromium (Default)", S_OK, S_OK, {(h.tmp / "Bookmarks").string()}},
        {"Chromium (Profile 1)", E_SHARING_VIOLATION, E_SHARING_VIOLATION, {}},
        {"Brave (Default)", E_FAIL, S_OK, {(h.tmp / "missing").string()}},
    };
    CCleaningRoutines routines(h.files, data);

    CRecordingCleanReport history;
    routines.CleanHistory(&history, {});
    EXPECT_THAT(history.m_items, ElementsAre("Cleaning History..."));
    EXPECT_THAT(history.m_skipped,
                ElementsAre("History of Chromium (Profile 1) is in use: close the browser to "
                            "clean it"));

    CRecordingCleanReport favorites;
    routines.CleanFavorites(&favorites, {});
    // A file that could not be deleted is reported all the same.
    EXPECT_THAT(favorites.m_items,
                ElementsAre((h.tmp / "Bookmarks").string(), (h.tmp / "missing").string()));
    EXPECT_THAT(favorites.m_skipped,
                ElementsAre("Favorites of Chromium (Profile 1) are in use: close the browser "
                            "to clean them"));
    EXPECT_FALSE(fs::exists(h.tmp / "Bookmarks"));

    data.m_profiles[0].hrHistory = E_FAIL;
    CRecordingCleanReport none;
    routines.CleanHistory(&none, {});
    EXPECT_THAT(none.m_items, IsEmpty());

    // The recent-documents list goes also without a recent folder, and never after a stop.
    routines.CleanRecent(nullptr, {});
    EXPECT_EQ(data.m_nRecentCleared, 1);
    std::stop_source stop;
    stop.request_stop();
    CRecordingCleanReport stopped;
    routines.CleanRecent(&stopped, stop.get_token());
    routines.CleanHistory(&stopped, stop.get_token());
    routines.CleanFavorites(&stopped, stop.get_token());
    EXPECT_EQ(data.m_nRecentCleared, 1);
    EXPECT_THAT(stopped.m_items, IsEmpty());
    EXPECT_THAT(stopped.m_skipped, IsEmpty());
}

}  // namespace
