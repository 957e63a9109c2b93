#pragma once

#include <cstdint>
#include <stop_token>
#include <string>

#include "cleaner/Cleaner.h"

class IBrowserData;
class IFileSystem;
class IFolder;
struct SDataFolder;

// The five cleaning routines over the browsers' and the desktop's data, with the three
// operations beneath them. Reports and stops as ICleaner says: what a running browser
// holds is left and reported through OnSkipped, once per profile and kind of data; what
// could not be cleaned for another reason is reported through OnFailed, once per profile
// and kind of data, or per folder.
class CCleaningRoutines final : public ICleaner {
public:
    // The first bytes of a file that ZeroFileBody leaves as they are.
    static constexpr std::uint64_t kKeptHeader = 64;
    // The block that ZeroFileBody writes at a time.
    static constexpr std::size_t kZeroBlock = 10000;

    CCleaningRoutines(IFileSystem& files, IBrowserData& data);

    void CleanCookies(ICleanReport* pReport, std::stop_token stop) override;
    void CleanTempInternetFiles(ICleanReport* pReport, std::stop_token stop) override;
    void CleanHistory(ICleanReport* pReport, std::stop_token stop) override;
    void CleanFavorites(ICleanReport* pReport, std::stop_token stop) override;
    void CleanRecent(ICleanReport* pReport, std::stop_token stop) override;

    // Deletes the URL cache entries of one kind: with `nMode` 0 every entry that is not a
    // cookie, with 1 the cookies, with any other mode none.
    void DeleteCacheEntries(int nMode, ICleanReport* pReport, std::stop_token stop);

    // Deletes everything inside the data folder `folder`, which stays, emptied. The folder
    // is opened as IFileSystem::OpenDataFolder says: one reached through a link below its
    // root, a mount point, the home folder or a folder above it is left and reported.
    // "desktop.ini" files survive unless `bDeleteDesktopIni`; "index.dat" files are zeroed
    // by ZeroFileBody before their deletion if `bZeroIndexDat`; both flags hold at every
    // depth. Only the files lying directly in `folder` are reported as items, each whether
    // or not it could be deleted. Links are deleted, never followed; mount points are
    // neither entered nor removed, and reported; a folder gets its permissions back only
    // once it has been entered. A folder at any depth that could not be read, or kept a
    // file or subfolder that could not be deleted or opened, is reported once, there; an
    // emptied subfolder that stays (something new was put in it meanwhile) is not.
    void DeleteFolderContents(const SDataFolder& folder, bool bDeleteDesktopIni, bool bZeroIndexDat,
                              ICleanReport* pReport, std::stop_token stop);

    // Overwrites the bytes of the file `strName` of `folder` after the first kKeptHeader
    // with zeros, in blocks of kZeroBlock, and puts them on the disk; the file keeps its
    // length. A shorter file gets no write, nor does a file with another name (a hard
    // link), whose body is not the folder's alone. False when the file could not be opened,
    // written or flushed.
    bool ZeroFileBody(IFolder& folder, const std::string& strName);

private:
    // Empties `folder`; reports its own files to `pItems` and what resisted, at any depth,
    // to `pFailures`.
    void EmptyFolder(IFolder& folder, bool bDeleteDesktopIni, bool bZeroIndexDat,
                     ICleanReport* pItems, ICleanReport* pFailures, const std::stop_token& stop);

    IFileSystem& m_Files;
    IBrowserData& m_Data;
};
