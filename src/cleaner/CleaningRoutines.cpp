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

// A kind of data, as the reports name it.
struct SKind {
    const char* szName;
    bool bPlural;
};

constexpr SKind kCookies = {"Cookies", true};
constexpr SKind kCacheFiles = {"Temporary Internet files", true};
constexpr SKind kHistory = {"History", false};
constexpr SKind kFavorites = {"Favorites", true};
constexpr SKind kRecentDocuments = {"Recent documents", true};

constexpr char kDesktopOwner[] = "the desktop";
constexpr char kLeftAsItIs[] = ": it was left as it is";

void ReportSkipped(ICleanReport* pReport, const std::stop_token& stop, const std::string& text) {
    if (pReport != nullptr && !stop.stop_requested()) {
        pReport->OnSkipped(text);
    }
}

void ReportFailed(ICleanReport* pReport, const std::stop_token& stop, const std::string& text) {
    if (pReport != nullptr && !stop.stop_requested()) {
        pReport->OnFailed(text);
    }
}

void ReportItem(ICleanReport* pReport, const std::stop_token& stop, std::string_view text) {
    if (pReport != nullptr && !stop.stop_requested()) {
        pReport->OnCleanItem(text);
    }
}

// Reports the data of one kind and owner that `hr` says was not cleaned, in words for the
// user: "History of Chromium (Default) is in use: close the browser to clean it". Nothing
// for a success.
void ReportNotCleaned(ICleanReport* pReport, const std::stop_token& stop, const SKind& kind,
                      const std::string& strOwner, HRESULT hr) {
    if (SUCCEEDED(hr)) {
        return;
    }
    std::string text = std::string(kind.szName) + " of " + strOwner;
    const char* szLeft = kind.bPlural ? ": they were left as they are" : kLeftAsItIs;
    switch (hr) {
        case E_SHARING_VIOLATION:
            text += kind.bPlural ? " are in use: close the browser to clean them"
                                 : " is in use: close the browser to clean it";
            ReportSkipped(pReport, stop, text);
            return;
        case E_FILE_CORRUPT:
            text += kind.bPlural ? " are damaged" : " is damaged";
            break;
        case E_ACCESSDENIED:
            text += " may not be changed";
            break;
        default:
            text += " could not be cleaned";
            break;
    }
    ReportFailed(pReport, stop, text + szLeft);
}

// Why a folder was not entered, in words for the user; empty when it was, or is gone.
std::string NotEnteredText(const std::string& path, EOpenResult result) {
    switch (result) {
        case EOpenResult::Opened:
        case EOpenResult::Missing:
            return {};
        case EOpenResult::Linked:
            return path + " is reached through a link" + kLeftAsItIs;
        case EOpenResult::Mounted:
            return path + " is a mount point" + kLeftAsItIs;
        case EOpenResult::Refused:
            return path + " is the home folder or a folder above it" + kLeftAsItIs;
        case EOpenResult::NotThatKind:
        case EOpenResult::Failed:
            break;
    }
    return path + " could not be opened" + kLeftAsItIs;
}

}  // namespace

CCleaningRoutines::CCleaningRoutines(IFileSystem& files, IBrowserData& data)
    : m_Files(files), m_Data(data) {}

void CCleaningRoutines::CleanCookies(ICleanReport* pReport, std::stop_token stop) {
    DeleteCacheEntries(kModeCookies, pReport, stop);
    for (const SDataFolder& folder : m_Data.GetSpecialFolderPaths(ESpecialFolder::Cookies)) {
        DeleteFolderContents(folder, false, false, pReport, stop);
    }
}

void CCleaningRoutines::CleanTempInternetFiles(ICleanReport* pReport, std::stop_token stop) {
    DeleteCacheEntries(kModeOtherEntries, pReport, stop);
    for (const SDataFolder& folder : m_Data.GetSpecialFolderPaths(ESpecialFolder::InternetCache)) {
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
        ReportNotCleaned(pReport, stop, kHistory, profile, hr);
        bCleared = bCleared || hr == S_OK;
    }
    // One report for the whole history, once it is cleared; none when there was none.
    if (bCleared) {
        ReportItem(pReport, stop, kHistoryText);
    }
    // What the browsers keep beside their history: the tabs and windows they would reopen.
    for (const SDataFolder& folder : m_Data.GetSpecialFolderPaths(ESpecialFolder::History)) {
        DeleteFolderContents(folder, false, false, pReport, stop);
    }
}

void CCleaningRoutines::CleanFavorites(ICleanReport* pReport, std::stop_token stop) {
    for (const SDataFolder& folder : m_Data.GetSpecialFolderPaths(ESpecialFolder::Favorites)) {
        DeleteFolderContents(folder, false, false, pReport, stop);
    }
    for (const std::string& profile : m_Data.GetBrowserProfiles()) {
        if (stop.stop_requested()) {
            return;
        }
        std::vector<std::string> files;
        ReportNotCleaned(pReport, stop, kFavorites, profile,
                         m_Data.FindFavoriteFiles(profile, &files));
        for (const std::string& file : files) {
            if (stop.stop_requested()) {
                return;
            }
            if (!m_Files.DeleteFile(file)) {
                ReportFailed(pReport, stop, file + " could not be deleted" + kLeftAsItIs);
            }
            ReportItem(pReport, stop, file);
        }
    }
}

void CCleaningRoutines::CleanRecent(ICleanReport* pReport, std::stop_token stop) {
    for (const SDataFolder& folder : m_Data.GetSpecialFolderPaths(ESpecialFolder::Recent)) {
        DeleteFolderContents(folder, false, false, pReport, stop);
    }
    // The list goes also when there is no recent folder.
    if (!stop.stop_requested()) {
        ReportNotCleaned(pReport, stop, kRecentDocuments, kDesktopOwner, m_Data.ClearRecentDocs());
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
        if (bWanted) {
            ReportNotCleaned(pReport, stop, bCookie ? kCookies : kCacheFiles, entry.strOwner,
                             m_Data.DeleteUrlCacheEntry(entry.strSourceUrlName));
        }
    } while (pEnum->FindNextUrlCacheEntry(&entry));
}

void CCleaningRoutines::DeleteFolderContents(const SDataFolder& folder, bool bDeleteDesktopIni,
                                             bool bZeroIndexDat, ICleanReport* pReport,
                                             std::stop_token stop) {
    std::unique_ptr<IFolder> pFolder;
    const EOpenResult result = m_Files.OpenDataFolder(folder, &pFolder);
    if (result != EOpenResult::Opened) {
        if (const std::string text = NotEnteredText(folder.Path(), result); !text.empty()) {
            ReportFailed(pReport, stop, text);
        }
        return;
    }
    // A folder whose owner may not delete in it could not be emptied. Where that fails,
    // the deletions that then fail say so.
    (void)pFolder->ClearReadOnly();
    EmptyFolder(*pFolder, bDeleteDesktopIni, bZeroIndexDat, pReport, pReport, stop);
}

void CCleaningRoutines::EmptyFolder(IFolder& folder, bool bDeleteDesktopIni, bool bZeroIndexDat,
                                    ICleanReport* pItems, ICleanReport* pFailures,
                                    const std::stop_token& stop) {
    std::vector<SFolderEntry> entries;
    // Something of this folder's own stayed that was to go: said once, here.
    bool bResisted = !folder.List(&entries);
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
        const auto path = [&folder, &entry] { return folder.GetPath() + "/" + entry.strName; };
        if ((entry.nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            std::unique_ptr<IFolder> pSubfolder;
            const EOpenResult result = folder.OpenFolder(entry.strName, &pSubfolder);
            if (result == EOpenResult::Opened) {
                // Only now that it is known to be entered does it get its permissions back.
                if ((entry.nAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
                    (void)pSubfolder->ClearReadOnly();
                }
                EmptyFolder(*pSubfolder, bDeleteDesktopIni, bZeroIndexDat, nullptr, pFailures,
                            stop);
                // One that stays has said why, kept a "desktop.ini", or has been given
                // something new meanwhile (by a running browser, say).
                if (!stop.stop_requested()) {
                    (void)folder.RemoveFolder(entry.strName);
                }
            } else if (result == EOpenResult::Linked || result == EOpenResult::Mounted) {
                // A mount point, or a folder swapped for a link since the listing, is neither
                // entered nor removed.
                ReportFailed(pFailures, stop, NotEnteredText(path(), result));
            } else if (result != EOpenResult::Missing) {
                bResisted = true;
            }
            continue;
        }
        // A file to overwrite needs the owner's write permission, which the listing does not
        // tell where it does not stop the deletion.
        const bool bZero = bZeroIndexDat && EqualsNoCase(entry.strName, "index.dat");
        if ((entry.nAttributes & FILE_ATTRIBUTE_READONLY) != 0 || bZero) {
            (void)folder.ClearFileReadOnly(entry.strName);
        }
        if (bZero && !ZeroFileBody(folder, entry.strName)) {
            ReportFailed(pFailures, stop,
                         path() + " could not be overwritten with zeros before its deletion");
        }
        bResisted = !folder.DeleteFile(entry.strName) || bResisted;
        if (pItems != nullptr) {
            ReportItem(pItems, stop, path());
        }
    }
    if (bResisted) {
        ReportFailed(pFailures, stop,
                     folder.GetPath() + " could not be emptied: some of what it holds stayed");
    }
}

bool CCleaningRoutines::ZeroFileBody(IFolder& folder, const std::string& strName) {
    static constexpr std::array<char, kZeroBlock> kZeros{};
    std::unique_ptr<IOverwriteFile> pFile;
    const EOpenResult result = folder.OpenForOverwrite(strName, &pFile);
    if (result != EOpenResult::Opened) {
        // A link or a pipe has no body of its own here; a file gone has none left.
        return result != EOpenResult::Failed;
    }
    const std::uint64_t nSize = pFile->GetSize();
    // A file no longer than its kept header has nothing to overwrite. A file with another
    // name goes with the deletion of this one, its body left to that name.
    if (nSize <= kKeptHeader || pFile->GetLinkCount() > 1) {
        return true;
    }
    if (!pFile->Seek(kKeptHeader)) {
        return false;
    }
    std::uint64_t nLeft = nSize - kKeptHeader;
    while (nLeft > kZeroBlock) {
        if (!pFile->Write(kZeros.data(), kZeroBlock)) {
            return false;
        }
        nLeft -= kZeroBlock;
    }
    // The zeros are on the disk before the file goes, or its old body could stay there.
    return pFile->Write(kZeros.data(), static_cast<std::size_t>(nLeft)) && pFile->Flush();
}
