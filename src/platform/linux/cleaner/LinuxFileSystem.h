#pragma once

#include <string>
#include <vector>

#include "platform/FileSystem.h"

// The cleaner's file operations on a Linux file system, through folder descriptors.
//
// - A folder is held open by a path-only descriptor (O_PATH), which needs no permission on
//   the folder; it is read through a descriptor opened from that one, entries are reached
//   with the *at calls, and no name is ever followed as a link.
// - A mount point is told by its mount id (statx, STATX_MNT_ID), so a bind mount of a
//   folder of the same file system is told apart too.
// - The read-only attribute of a folder is the lack of the owner's read, write or search
//   permission: what keeps the folder's entries from being listed or deleted. Deleting a
//   file needs no permission on the file itself, so a file's mode never stops its deletion
//   and a listing gives no file the attribute (nor stats one: the kind the listing tells
//   is enough); ClearFileReadOnly gives the owner write permission on a file. Permissions are
//   changed through the descriptor of what was opened and checked (/proc/self/fd), never by name.
class CLinuxFileSystem final : public IFileSystem {
public:
    // `homes` are the user's home folders by any path: no data folder may be one of them
    // or a folder above one (a missing home folder protects the folders above it).
    explicit CLinuxFileSystem(std::vector<std::string> homes);

    // The home folder of the user this process runs as, from the user database, and $HOME.
    static std::vector<std::string> UserHomes();

    EOpenResult OpenDataFolder(const SDataFolder& folder,
                               std::unique_ptr<IFolder>* pFolder) override;
    bool DeleteFile(const std::string& path) override;

private:
    bool IsProtected(int fd) const;

    std::vector<std::string> m_homes;
};
