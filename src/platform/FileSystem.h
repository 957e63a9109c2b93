#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The file operations of the privacy cleaner: listing a folder, clearing the read-only
// attribute, deleting, and overwriting a file in place. Paths are bytes; no call follows a
// symbolic link in the last part of a path, and none reports an error beyond its result.

// Attribute bits of a folder entry.
inline constexpr std::uint32_t FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
// A link, or a folder on another file system than the folder listed: never entered.
inline constexpr std::uint32_t FILE_ATTRIBUTE_REPARSE_POINT = 0x400;

struct SFolderEntry {
    std::string strName;
    std::uint32_t nAttributes = 0;
};

// A file opened for writing in place: no truncation, no creation.
class IOverwriteFile {
public:
    virtual ~IOverwriteFile() = default;

    // The file's length in bytes when it was opened.
    virtual std::uint64_t GetSize() = 0;
    // Moves the write position to `nOffset` bytes from the start; false on failure.
    virtual bool Seek(std::uint64_t nOffset) = 0;
    // Writes `nSize` bytes at the position and moves past them; false when not all of
    // them could be written.
    virtual bool Write(const void* pData, std::size_t nSize) = 0;
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // The entries of `folder` in the order the file system keeps them, without "." and
    // "..", each with its attributes:
    // - FILE_ATTRIBUTE_DIRECTORY for a folder, never for a link to one;
    // - FILE_ATTRIBUTE_REPARSE_POINT for a link (to anything) and for a folder on another
    //   file system (a mount point);
    // - FILE_ATTRIBUTE_READONLY when the owner's permissions keep the entry from being
    //   changed: for a folder, that its entries cannot be deleted.
    // False, with no entries, when `folder` is not a folder that can be read (a link to one
    // included).
    virtual bool ListFolder(const std::string& folder, std::vector<SFolderEntry>* entries) = 0;

    // Gives back to the owner what FILE_ATTRIBUTE_READONLY takes away; nothing for an entry
    // that has it already. Never changes a link or what it points to. False on failure.
    virtual bool ClearReadOnly(const std::string& path) = 0;

    // Deletes a file or a link (never what the link points to), whatever the file's own
    // permissions. False when it stays.
    virtual bool DeleteFile(const std::string& path) = 0;
    // Removes an empty folder. False when it stays (not empty, a mount point, refused).
    virtual bool RemoveDirectory(const std::string& path) = 0;

    // Opens an existing regular file for writing in place, while others may keep reading
    // and writing it. Null for anything else (missing, a link, a pipe, refused).
    virtual std::unique_ptr<IOverwriteFile> OpenForOverwrite(const std::string& path) = 0;
};
