#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The file operations of the privacy cleaner. A folder is walked through handles: once a
// folder is open, everything in it is reached by name from its handle, so that no path is
// looked up twice and nothing swapped in meanwhile is followed. Paths and names are bytes;
// no call reports an error beyond its result.

// Attribute bits of a folder entry.
inline constexpr std::uint32_t FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
// A link: deleted like a file, never followed.
inline constexpr std::uint32_t FILE_ATTRIBUTE_REPARSE_POINT = 0x400;

struct SFolderEntry {
    std::string strName;
    std::uint32_t nAttributes = 0;
};

// A folder of the user's data: `strRoot` is a base folder whose place the user chose, so
// the links that lead to it are followed; `strBelow` is the relative path of the folder
// below it, where no link is followed and no mount point is crossed.
struct SDataFolder {
    std::string strRoot;
    std::string strBelow;

    // The folder's path as the user would write it.
    std::string Path() const { return strBelow.empty() ? strRoot : strRoot + "/" + strBelow; }

    bool operator==(const SDataFolder&) const = default;
};

// What opening a folder or a file came to.
enum class EOpenResult {
    Opened,
    // There is no such entry (any more).
    Missing,
    // The entry, or a folder on the way to it, is a link.
    Linked,
    // The folder is a mount point: another file system, or a bind mount.
    Mounted,
    // The folder is the root folder, the user's home folder or a folder above it.
    Refused,
    // The entry is not of the kind asked for (a pipe where a file was asked for, say).
    NotThatKind,
    // Any other failure: permissions, input/output.
    Failed,
};

// A file opened for writing in place: no truncation, no creation.
class IOverwriteFile {
public:
    virtual ~IOverwriteFile() = default;

    // The file's length in bytes when it was opened.
    virtual std::uint64_t GetSize() = 0;
    // How many names (hard links) the file has.
    virtual std::uint64_t GetLinkCount() = 0;
    // Moves the write position to `nOffset` bytes from the start; false on failure.
    [[nodiscard]] virtual bool Seek(std::uint64_t nOffset) = 0;
    // Writes `nSize` bytes at the position and moves past them; false when not all of
    // them could be written.
    [[nodiscard]] virtual bool Write(const void* pData, std::size_t nSize) = 0;
    // Returns once what was written is on the disk; false when it could not be put there.
    [[nodiscard]] virtual bool Flush() = 0;
};

// An open folder. It stays the folder it was opened as, wherever it is moved meanwhile.
class IFolder {
public:
    virtual ~IFolder() = default;

    // The path by which the folder was opened, for the user's eyes only.
    [[nodiscard]] virtual const std::string& GetPath() const = 0;

    // The entries in the order the file system keeps them, without "." and "..", each
    // with its attributes:
    // - FILE_ATTRIBUTE_DIRECTORY for a folder, never for a link to one;
    // - FILE_ATTRIBUTE_REPARSE_POINT for a link (to anything);
    // - FILE_ATTRIBUTE_READONLY when the owner's permissions keep the entry from being
    //   changed: for a folder, that its entries cannot be listed or deleted; for a file,
    //   that it cannot be deleted (never, where a file's permissions do not stop that).
    // False, with no entries, when the folder cannot be read; true, with none, when it has
    // been removed since it was opened.
    [[nodiscard]] virtual bool List(std::vector<SFolderEntry>* entries) = 0;

    // Opens the subfolder `strName`: Opened; Linked when it is a link; Mounted when it is a
    // mount point; NotThatKind when it is no folder; Missing or Failed. Needs no
    // permission on the subfolder itself.
    [[nodiscard]] virtual EOpenResult OpenFolder(const std::string& strName,
                                                 std::unique_ptr<IFolder>* pFolder) = 0;

    // Gives back to the owner what FILE_ATTRIBUTE_READONLY takes away: on this folder, or
    // on its file `strName` (never on a link), which can then also be written. Nothing for
    // one that has it already. False on failure.
    [[nodiscard]] virtual bool ClearReadOnly() = 0;
    [[nodiscard]] virtual bool ClearFileReadOnly(const std::string& strName) = 0;

    // Deletes the file or link `strName` (never what a link points to), whatever the
    // file's own permissions. False when it stays; true when it is gone already.
    [[nodiscard]] virtual bool DeleteFile(const std::string& strName) = 0;
    // Removes the empty subfolder `strName`. False when it stays (not empty, a mount
    // point, refused); true when it is gone already.
    [[nodiscard]] virtual bool RemoveFolder(const std::string& strName) = 0;

    // Opens the existing regular file `strName` for writing in place, while others may keep
    // reading and writing it: Opened; Linked for a link; NotThatKind for anything but a
    // regular file (a pipe, a folder); Missing or Failed. A file with more than one name is
    // opened only to be told so (GetLinkCount): it cannot be written, and needs no write
    // permission.
    [[nodiscard]] virtual EOpenResult OpenForOverwrite(const std::string& strName,
                                                       std::unique_ptr<IOverwriteFile>* pFile) = 0;
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // Opens a data folder, its root through its links, each folder below it by name as
    // IFolder::OpenFolder does: Opened; Linked or Mounted when a folder below the root is
    // a link or a mount point; Refused when the folder is the root folder, the user's home
    // folder or a folder above it, however it was reached; Missing, NotThatKind or Failed.
    [[nodiscard]] virtual EOpenResult OpenDataFolder(const SDataFolder& folder,
                                                     std::unique_ptr<IFolder>* pFolder) = 0;

    // Deletes the file or link at `path` (never what a link points to). False when it
    // stays; true when it is gone already.
    [[nodiscard]] virtual bool DeleteFile(const std::string& path) = 0;
};
