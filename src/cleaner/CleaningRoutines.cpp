#include "cleaner/CleaningRoutines.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>
#include <vector>

#include "cleaner/CleanReport.h"
#include "platform/BrowserData.h"
#include "platform/FileSystem.h"

namespace {

constexpr int kModeOtherEntries = 0;
constexpr int kModeCookies = 1;

constexpr char kHistoryText[] = "Cleaning History...";

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        return lower(x) == lower(y);
    });
}

// What a running browser kept from being cleaned, in words for the user.
std::string InUseText(std::string_view kind, const std::string& strOwner, std::string_view tail) {
    std::string text(kind);
    text += " of ";
    text += strOwner;
    text += tail;
    return text;
}

void ReportSkipped(ICleanReport* pReport, const std::stop_token& stop, const std::string& text) {
    if (pReport != nullptr && !stop.stop_requested()) {
        pReport->OnSkipped(text);
    }
}

void ReportItem(ICleanReport* pReport, const std::stop_token& stop, std::string_view text) {
    if (pReport != nullptr && !stop.stop_requested()) {
        pReport->OnCleanItem(text);
    }
}

}  // namespace

CCleaningRoutines::CCleaningRoutines(IFileSystem& files, IBrowserData& data)
    : m_Files(files), m_Data(data) {}

void CCleaningRoutines::CleanCookies(ICleanReport* pReport, std::stop_token stop) {
    DeleteCacheEntries(kModeCookies, pReport, stop);
    for (const std::string& folder : m_Data.GetSpecialFolderPaths(ESpecialFolder::Cookies)) {
        DeleteFolderContents(folder, false, false, pReport, stop);
    }
}

void CCleaningRoutines::CleanTempInternetFiles(ICleanReport* pReport, std::stop_token stop) {
    DeleteCacheEntries(kModeOtherEntries, pReport, stop);
    for (const std::string& folder : m_Data.GetSpecialFolderPaths(ESpecialFolder::InternetCache)) {
        DeleteFolderContents(folder, true, true, pReport, stop);
    }
}

void CCleaningRoutines::CleanHistory(ICleanReport* pReport, std::stop_token stop) {
    bool bCleared = false;
    for (const std::string& profile : m_Data.GetBrowserProfiles()) {
        if (stop.stop_requested()) {
            return;
        }
        const HRESULT hr = m_Data.ClearHistory(profile);
        if (hr == E_SHARING_VIOLATION) {
            ReportSkipped(
                pReport, stop,
                InUseText("History", profile, " is in use: close the browser to clean it"));
        }
        bCleared = bCleared || SUCCEEDED(hr);
    }
    // One report for the whole history, once it is cleared; none when there was none.
    if (bCleared) {
        ReportItem(pReport, stop, kHistoryText);
    }
}

void CCleaningRoutines::CleanFavorites(ICleanReport* pReport, std::stop_token stop) {
    for (const std::string& folder : m_Data.GetSpecialFolderPaths(ESpecialFolder::Favorites)) {
        DeleteFolderContents(folder, false, false, pReport, stop);
    }
    for (const std::string& profile : m_Data.GetBrowserProfiles()) {
        if (stop.stop_requested()) {
            return;
        }
        std::vector<std::string> files;
        if (m_Data.FindFavoriteFiles(profile, &files) == E_SHARING_VIOLATION) {
            ReportSkipped(
                pReport, stop,
                InUseText("Favorites", profile, " are in use: close the browser to clean them"));
        }
        for (const std::string& file : files) {
            if (stop.stop_requested()) {
                return;
            }
            m_Files.DeleteFile(file);
            ReportItem(pReport, stop, file);
        }
    }
}

void CCleaningRoutines::CleanRecent(ICleanReport* pReport, std::stop_token stop) {
    for (const std::string& folder : m_Data.GetSpecialFolderPaths(ESpecialFolder::Recent)) {
        DeleteFolderContents(folder, false, false, pReport, stop);
    }
    // The list goes also when there is no recent folder.
    if (!stop.stop_requested()) {
        m_Data.ClearRecentDocs();
    }
}

void CCleaningRoutines::DeleteCacheEntries(int nMode, ICleanReport* pReport, std::stop_token stop) {
    SUrlCacheEntry entry;
    std::unique_ptr<IUrlCacheEnum> pEnum = m_Data.FindFirstUrlCacheEntry(&entry);
    if (!pEnum) {
        return;
    }
    do {
        if (stop.stop_requested()) {
            return;
        }
        const bool bCookie = (entry.nCacheEntryType & COOKIE_CACHE_ENTRY) != 0;
        const bool bWanted =
            (nMode == kModeOtherEntries && !bCookie) || (nMode == kModeCookies && bCookie);
        if (bWanted && m_Data.DeleteUrlCacheEntry(entry.strSourceUrlName) == E_SHARING_VIOLATION) {
            ReportSkipped(pReport, stop,
                          bCookie ? InUseText("Cookies", entry.strOwner,
                                              " are in use: close the browser to clean them")
                                  : InUseText("Temporary Internet files", entry.strOwner,
                                              " are in use: close the browser to clean them"));
        }
    } while (pEnum->FindNextUrlCacheEntry(&entry));
}

void CCleaningRoutines::DeleteFolderContents(const std::string& folder, bool bDeleteDesktopIni,
                                             bool bZeroIndexDat, ICleanReport* pReport,
                                             std::stop_token stop) {
    // Only ever a data folder, followed through its links once, here: below it nothing is
    // followed.
    std::string resolved;
    if (!m_Data.ResolveDataFolder(folder, &resolved)) {
        return;
    }
    // A folder whose owner may not delete in it could not be emptied.
    m_Files.ClearReadOnly(resolved);
    EmptyFolder(resolved, bDeleteDesktopIni, bZeroIndexDat, pReport, stop);
}

void CCleaningRoutines::EmptyFolder(const std::string& folder, bool bDeleteDesktopIni,
                                    bool bZeroIndexDat, ICleanReport* pReport,
                                    const std::stop_token& stop) {
    std::vector<SFolderEntry> entries;
    if (!m_Files.ListFolder(folder, &entries)) {
        return;
    }
    for (const SFolderEntry& entry : entries) {
        if (stop.stop_requested()) {
            return;
        }
        if (entry.strName == "." || entry.strName == "..") {
            continue;
        }
        if (!bDeleteDesktopIni && EqualsNoCase(entry.strName, "desktop.ini")) {
            continue;
        }
        const std::string path = folder + "/" + entry.strName;
        if ((entry.nAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
            m_Files.ClearReadOnly(path);
        }
        if ((entry.nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            // A mount point is neither entered nor removed.
            if ((entry.nAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
                EmptyFolder(path, bDeleteDesktopIni, bZeroIndexDat, nullptr, stop);
                if (!stop.stop_requested()) {
                    m_Files.RemoveDirectory(path);
                }
            }
            continue;
        }
        if (bZeroIndexDat && EqualsNoCase(entry.strName, "index.dat")) {
            ZeroFileBody(folder, entry.strName);
        }
        m_Files.DeleteFile(path);
        ReportItem(pReport, stop, path);
    }
}

void CCleaningRoutines::ZeroFileBody(const std::string& folder, const std::string& strName) {
    static constexpr std::array<char, kZeroBlock> kZeros{};
    std::unique_ptr<IOverwriteFile> pFile = m_Files.OpenForOverwrite(folder + "/" + strName);
    if (!pFile) {
        return;
    }
    const std::uint64_t nSize = pFile->GetSize();
    // A file no longer than its kept header has nothing to overwrite.
    if (nSize <= kKeptHeader || !pFile->Seek(kKeptHeader)) {
        return;
    }
    std::uint64_t nLeft = nSize - kKeptHeader;
    while (nLeft > kZeroBlock) {
        pFile->Write(kZeros.data(), kZeroBlock);
        nLeft -= kZeroBlock;
    }
    pFile->Write(kZeros.data(), static_cast<std::size_t>(nLeft));
}
