#pragma once

#include "platform/FileSystem.h"

// The cleaner's file operations on a POSIX file system. The read-only attribute is the lack
// of the owner's write permission, and for a folder also of its search permission: what
// keeps the folder's entries from being deleted. Deleting a file needs no permission on the
// file itself, so a file's mode never stops its deletion.
class CLinuxFileSystem final : public IFileSystem {
public:
    bool ListFolder(const std::string& folder, std::vector<SFolderEntry>* entries) override;
    bool ClearReadOnly(const std::string& path) override;
    bool DeleteFile(const std::string& path) override;
    bool RemoveDirectory(const std::string& path) override;
    std::unique_ptr<IOverwriteFile> OpenForOverwrite(const std::string& path) override;
};
