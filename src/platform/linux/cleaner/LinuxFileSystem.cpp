#include "platform/linux/cleaner/LinuxFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/linux/UniqueFd.h"

namespace {

bool IsReadOnly(const struct stat& st) {
    if (S_ISLNK(st.st_mode)) {
        return false;
    }
    const mode_t needed = S_ISDIR(st.st_mode) ? (S_IWUSR | S_IXUSR) : S_IWUSR;
    return (st.st_mode & needed) != needed;
}

class COverwriteFile final : public IOverwriteFile {
public:
    COverwriteFile(CUniqueFd fd, std::uint64_t nSize) : m_Fd(std::move(fd)), m_nSize(nSize) {}

    std::uint64_t GetSize() override { return m_nSize; }

    bool Seek(std::uint64_t nOffset) override {
        return ::lseek(m_Fd.Get(), static_cast<off_t>(nOffset), SEEK_SET) >= 0;
    }

    bool Write(const void* pData, std::size_t nSize) override {
        const char* pNext = static_cast<const char*>(pData);
        while (nSize > 0) {
            const ssize_t nWritten = ::write(m_Fd.Get(), pNext, nSize);
            if (nWritten < 0 && errno == EINTR) {
                continue;
            }
            if (nWritten <= 0) {
                return false;
            }
            pNext += nWritten;
            nSize -= static_cast<std::size_t>(nWritten);
        }
        return true;
    }

private:
    CUniqueFd m_Fd;
    std::uint64_t m_nSize;
};

}  // namespace

bool CLinuxFileSystem::ListFolder(const std::string& folder, std::vector<SFolderEntry>* entries) {
    entries->clear();
    CUniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat self {};
    if (!fd.IsValid() || ::fstat(fd.Get(), &self) != 0) {
        return false;
    }
    DIR* dir = ::fdopendir(fd.Get());
    if (dir == nullptr) {
        return false;
    }
    const int nDirFd = fd.Release();
    while (const dirent* pEntry = ::readdir(dir)) {
        const std::string_view name = pEntry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        struct stat st {};
        // An entry gone since the listing began has nothing left to delete.
        if (::fstatat(nDirFd, pEntry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        std::uint32_t nAttributes = 0;
        if (S_ISDIR(st.st_mode)) {
            nAttributes |= FILE_ATTRIBUTE_DIRECTORY;
            if (st.st_dev != self.st_dev) {
                nAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
            }
        } else if (S_ISLNK(st.st_mode)) {
            nAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        }
        if (IsReadOnly(st)) {
            nAttributes |= FILE_ATTRIBUTE_READONLY;
        }
        entries->push_back({std::string(name), nAttributes});
    }
    ::closedir(dir);
    return true;
}

bool CLinuxFileSystem::ClearReadOnly(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) {
        return false;
    }
    if (!IsReadOnly(st)) {
        return true;
    }
    const mode_t added = S_ISDIR(st.st_mode) ? (S_IWUSR | S_IXUSR) : S_IWUSR;
    // Never through a link, should the entry have been swapped for one meanwhile.
    return ::fchmodat(AT_FDCWD, path.c_str(), (st.st_mode & 07777) | added, AT_SYMLINK_NOFOLLOW) ==
           0;
}

bool CLinuxFileSystem::DeleteFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool CLinuxFileSystem::RemoveDirectory(const std::string& path) {
    return ::rmdir(path.c_str()) == 0;
}

std::unique_ptr<IOverwriteFile> CLinuxFileSystem::OpenForOverwrite(const std::string& path) {
    // O_NONBLOCK: opening a pipe for writing would wait for a reader.
    CUniqueFd fd(::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (!fd.IsValid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return nullptr;
    }
    const int nFlags = ::fcntl(fd.Get(), F_GETFL);
    if (nFlags < 0 || ::fcntl(fd.Get(), F_SETFL, nFlags & ~O_NONBLOCK) != 0) {
        return nullptr;
    }
    return std::make_unique<COverwriteFile>(std::move(fd), static_cast<std::uint64_t>(st.st_size));
}
