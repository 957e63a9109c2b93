#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/linux/UniqueFd.h"

// Replaces one file whole, so that a crash or a power cut at any moment leaves either the old
// file or the new one, never a mix: the new content goes to a temporary file in the same
// folder, is flushed to disk, and is renamed over the file; the folder is flushed last, so
// the rename itself survives a crash. Readers never see a half-written file.
//
//     CAtomicFile file(path, ".name.");
//     int error = file.Write(text, 0644);   // nothing visible has changed yet
//     if (error == 0) error = file.Commit();  // the new file is in place
//
// Calls answer 0 or the errno of the step that failed; a failure leaves the file as it was
// and no temporary file behind. Not thread-safe; one object replaces the file once.
class CAtomicFile {
public:
    // `path` names the file to replace; its folder must exist. The temporary file is made
    // in that folder, named `tempPrefix` followed by six random characters, so that a
    // caller can recognise (and clean up) the leftovers of a writer that was killed.
    CAtomicFile(std::filesystem::path path, std::string tempPrefix);
    // Removes the temporary file when it was written but not committed.
    ~CAtomicFile();
    CAtomicFile(const CAtomicFile&) = delete;
    CAtomicFile& operator=(const CAtomicFile&) = delete;

    // Writes `content` to a new temporary file with the permission bits `mode` and flushes
    // it to disk. Fails when the folder cannot be opened (its rename could not be made
    // durable) or the file cannot be made, written, given `mode` or flushed.
    int Write(std::string_view content, mode_t mode);

    // Renames the written temporary file over the file, then flushes the folder (some file
    // systems cannot: the new content is in place either way). Fails without Write.
    int Commit();

    // The temporary file's status after Write: its device and inode name the new file once
    // it is committed, so a caller can tell it from a file another writer put there since.
    const struct stat& Written() const { return m_Written; }

    // Write, then Commit.
    static int Replace(const std::filesystem::path& path, std::string tempPrefix,
                       std::string_view content, mode_t mode);

private:
    std::filesystem::path m_Path;
    std::string m_strTempPath;
    CUniqueFd m_Folder;
    struct stat m_Written {};
    bool m_bPending = false;
};
