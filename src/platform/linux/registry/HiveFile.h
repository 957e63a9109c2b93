#pragma once

#include <sys/types.h>

#include <cstddef>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "platform/Result.h"
#include "platform/linux/registry/RegFile.h"
#include "platform/linux/registry/RegTree.h"

// One registry file on disk. Reads answer the file's tree, parsed again only when the file
// is not the one read last; changes take an advisory lock, read the file again, apply the
// change and replace the file atomically, so concurrent writers never lose each other's
// work and a writer killed at any moment leaves the old or the new file, whole.
// Not thread-safe: the caller serialises calls.
class CHiveFile {
public:
    // Larger files are taken as unparsable (the store holds a few kilobytes; the bound keeps
    // a hostile file from exhausting memory), and a change that would make one fails.
    static constexpr std::size_t MAX_FILE_SIZE = std::size_t{64} << 20;

    explicit CHiveFile(std::filesystem::path path);

    // The stored tree, valid until the next call. An absent or unreadable file, or one that
    // is not a REGEDIT4 file at all, reads as the empty tree. Of a file with lines that
    // cannot be read, every other line counts; each line left out is reported once on
    // standard error, with its number.
    const CRegTree& Read();

    // Whether some read of this object found lines that could not be read, a file that is
    // not a REGEDIT4 file, or a file it could not read at all: a key or value missing from
    // the tree may then have stood on what was left out. It stays so for the object's life,
    // also once a change has written the file anew without those lines.
    bool HasLeftOutLines() const { return m_bLeftOut; }

    // Whether a change could be stored now: the file, where it exists, is a regular file
    // this process may read and write, and its folder (or, while that is missing, the
    // nearest folder above it) is one it may write into. Decided by the kernel's access
    // check, so it holds for root too.
    bool CanWrite() const;

    // Refused with ERROR_ACCESS_DENIED unless CanWrite(). Under the lock: brings the tree up
    // to the file, runs `change` on it and, when that
    // answers ERROR_SUCCESS and sets `bChanged`, stores the result; `change` leaves the tree
    // untouched when it answers anything else, which is passed on. The folder is created
    // (mode 0700) where missing, temporary files left by killed writers are removed, and a
    // file that could not be read whole is first kept under a new name
    // `<file>.corrupt-YYYYMMDD-HHMMSS[-N]`. Answers ERROR_ACCESS_DENIED where the file or
    // folder cannot be written, ERROR_OUTOFMEMORY when the result would exceed
    // MAX_FILE_SIZE, ERROR_REGISTRY_IO_FAILED on other failures; the file then keeps its
    // previous content.
    LSTATUS Update(const std::function<LSTATUS(CRegTree& tree, bool& bChanged)>& change);

private:
    // What tells one state of the file from another.
    struct CIdentity {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        timespec changed{};
        friend bool operator==(const CIdentity& a, const CIdentity& b) {
            return a.device == b.device && a.inode == b.inode && a.size == b.size &&
                   a.modified.tv_sec == b.modified.tv_sec &&
                   a.modified.tv_nsec == b.modified.tv_nsec &&
                   a.changed.tv_sec == b.changed.tv_sec && a.changed.tv_nsec == b.changed.tv_nsec;
        }
    };

    // Brings the cache up to the file as it is now. Answers 0, or the errno that kept an
    // existing file from being read (the cache then holds the empty tree).
    int Refresh();
    // Writes m_Tree to a temporary file and renames it over the file.
    LSTATUS Store(const std::filesystem::path& folder);
    // Links the unparsable file to a name no earlier copy has; answers 0 or an errno.
    int KeepCorrupt(const std::filesystem::path& folder) const;
    void ReportSkipped(const std::vector<CRegFile::CSkipped>& skipped) const;
    void RemoveStaleTemporaries(const std::filesystem::path& folder) const;
    std::filesystem::path Folder() const;

    std::filesystem::path m_Path;
    // The cache: m_Tree is what the file named by m_Identity holds (nothing: no file).
    bool m_bCacheValid = false;
    std::optional<CIdentity> m_Identity;
    // Whether the cached file was read whole: no line left out, nothing else in its place.
    bool m_bParsed = true;
    bool m_bLeftOut = false;
    // The file whose unreadable lines were last reported, so a file is reported once.
    std::optional<CIdentity> m_ReportedIdentity;
    mode_t m_nMode = 0;
    CRegTree m_Tree;
};
