#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

// Another file system (the real one, say) with a hook before the operations by which the
// cleaner changes what it walks: "delete" (a file of a folder), "write" and "flush" (a file
// opened for overwriting), each with the path of the file. The hook may change the file
// system there and then, and answers whether the operation goes on: one it stops fails as
// a refused one would.
class CHookedFileSystem final : public IFileSystem {
public:
    using FnBefore = std::function<bool(std::string_view strOp, const std::string& path)>;

    CHookedFileSystem(IFileSystem& files, FnBefore fnBefore)
        : m_Files(files), m_fnBefore(std::move(fnBefore)) {}

    EOpenResult OpenDataFolder(const SDataFolder& folder,
                               std::unique_ptr<IFolder>* pFolder) override;
    bool DeleteFile(const std::string& path) override { return m_Files.DeleteFile(path); }

private:
    IFileSystem& m_Files;
    FnBefore m_fnBefore;
};
