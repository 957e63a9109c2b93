#pragma once

#include <cstdint>
#include <stop_token>
#include <string>

#include "cleaner/Cleaner.h"

class IBrowserData;
class IFileSystem;

// The five cleaning routines over the browsers' and the desktop's data, with the three
// operations beneath them. Reports and stops as ICleaner says; what a running browser
// holds is left and reported through OnSkipped, once per profile and kind of data.
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
    // cookie, with 1 the cookies, with any other mode none. An entry that a running browser
    // holds is reported skipped.
    void DeleteCacheEntries(int nMode, ICleanReport* pReport, std::stop_token stop);

    // Deletes everything inside `folder`, which stays, emptied. Refuses a folder that is not
    // one of the data folders. "desktop.ini" files survive unless `bDeleteDesktopIni`;
    // "index.dat" files are zeroed by ZeroFileBody before their deletion if `bZeroIndexDat`;
    // both flags hold at every depth. Only the files lying directly in `folder` are
    // reported, each whether or not it could be deleted. Links are deleted, never
    // followed; folders on another file system are left alone.
    void DeleteFolderContents(const std::string& folder, bool bDeleteDesktopIni, bool bZeroIndexDat,
                              ICleanReport* pReport, std::stop_token stop);

    // Overwrites the bytes of `folder`/`strName` after the first kKeptHeader with zeros, in
    // blocks of kZeroBlock; the file keeps its length. A shorter file gets no write.
    void ZeroFileBody(const std::string& folder, const std::string& strName);

private:
    void EmptyFolder(const std::string& folder, bool bDeleteDesktopIni, bool bZeroIndexDat,
                     ICleanReport* pReport, const std::stop_token& stop);

    IFileSystem& m_Files;
    IBrowserData& m_Data;
};
