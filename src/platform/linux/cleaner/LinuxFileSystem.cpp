#include "platform/linux/cleaner/LinuxFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "platform/linux/UniqueFd.h"

namespace {

constexpr unsigned kStatxMask =
    STATX_TYPE | STATX_MODE | STATX_INO | STATX_NLINK | STATX_SIZE | STATX_MNT_ID;

// Where a folder lies: its mount where the kernel tells it, else its file system (a bind
// mount of the same file system then goes unseen).
struct SMount {
    dev_t dev = 0;
    bool bHasId = false;
    std::uint64_t nId = 0;

    bool IsSameAs(const SMount& other) const {
        return bHasId && other.bHasId ? nId == other.nId : dev == other.dev;
    }
};

// What the descriptor `fd` refers to, never a link's target.
bool StatFd(int fd, struct statx* stx) {
    return ::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, kStatxMask, stx) == 0;
}

SMount MountOf(const struct statx& stx) {
    return {makedev(stx.stx_dev_major, stx.stx_dev_minor), (stx.stx_mask & STATX_MNT_ID) != 0,
            stx.stx_mnt_id};
}

bool IsReadOnly(mode_t mode) {
    if (S_ISLNK(mode)) {
        return false;
    }
    const mode_t needed = S_ISDIR(mode) ? S_IRWXU : S_IWUSR;
    return (mode & needed) != needed;
}

EOpenResult FromErrno(int nError) {
    switch (nError) {
        case ENOENT:
            return EOpenResult::Missing;
        case ELOOP:
            return EOpenResult::Linked;
        case ENOTDIR:
        case EISDIR:
        case ENXIO:
            return EOpenResult::NotThatKind;
        default:
            return EOpenResult::Failed;
    }
}

// Gives the owner back what the read-only attribute takes away from what the path-only
// descriptor `fd` refers to, through that descriptor, so that it is the very entry that
// was opened and checked.
bool ClearReadOnlyOf(int fd) {
    struct statx stx {};
    if (!StatFd(fd, &stx) || S_ISLNK(stx.stx_mode)) {
        return false;
    }
    // A file with another name is only ever unlinked, which needs no permission on the file,
    // and its mode is that other name's too.
    if (!IsReadOnly(stx.stx_mode) || (!S_ISDIR(stx.stx_mode) && stx.stx_nlink > 1)) {
        return true;
    }
    const mode_t added = S_ISDIR(stx.stx_mode) ? S_IRWXU : S_IWUSR;
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::chmod(self.c_str(), (stx.stx_mode & 07777) | added) == 0;
}

class COverwriteFile final : public IOverwriteFile {
public:
    COverwriteFile(CUniqueFd fd, const struct stat& st)
        : m_Fd(std::move(fd)),
          m_nSize(static_cast<std::uint64_t>(st.st_size)),
          m_nLinks(st.st_nlink) {}

    std::uint64_t GetSize() override { return m_nSize; }
    std::uint64_t GetLinkCount() override { return m_nLinks; }

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

    bool Flush() override { return ::fdatasync(m_Fd.Get()) == 0; }

private:
    CUniqueFd m_Fd;
    std::uint64_t m_nSize;
    std::uint64_t m_nLinks;
};

class CLinuxFolder final : public IFolder {
public:
    CLinuxFolder(CUniqueFd fd, std::string path, const SMount& mount)
        : m_Fd(std::move(fd)), m_path(std::move(path)), m_mount(mount) {}

    int Fd() const { return m_Fd.Get(); }

    const std::string& GetPath() const override { return m_path; }

    bool List(std::vector<SFolderEntry>* entries) override {
        entries->clear();
        CUniqueFd fd(::openat(m_Fd.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!fd.IsValid() && errno == ENOENT) {
            // Removed since it was opened: nothing is in it.
            return true;
        }
        DIR* dir = fd.IsValid() ? ::fdopendir(fd.Get()) : nullptr;
        if (dir == nullptr) {
            return false;
        }
        fd.Release();
        while (const dirent* pEntry = ::readdir(dir)) {
            const std::string_view name = pEntry->d_name;
            if (name == "." || name == "..") {
                continue;
            }
            // The kind the listing tells is enough for anything but a folder, whose
            // permissions matter: a file's mode never stops its deletion.
            std::uint32_t nAttributes = 0;
            if (pEntry->d_type == DT_LNK) {
                nAttributes = FILE_ATTRIBUTE_REPARSE_POINT;
            } else if (pEntry->d_type == DT_DIR || pEntry->d_type == DT_UNKNOWN) {
                struct stat st {};
                // An entry gone since the listing began has nothing left to delete.
                if (::fstatat(m_Fd.Get(), pEntry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                    continue;
                }
                if (S_ISDIR(st.st_mode)) {
                    nAttributes = FILE_ATTRIBUTE_DIRECTORY;
                    if (IsReadOnly(st.st_mode)) {
                        nAttributes |= FILE_ATTRIBUTE_READONLY;
                    }
                } else if (S_ISLNK(st.st_mode)) {
                    nAttributes = FILE_ATTRIBUTE_REPARSE_POINT;
                }
            }
            entries->push_back({std::string(name), nAttributes});
        }
        ::closedir(dir);
        return true;
    }

    // Opens the subfolder `strName` as IFolder::OpenFolder does.
    EOpenResult Open(const std::string& strName, std::unique_ptr<CLinuxFolder>* pFolder) const {
        pFolder->reset();
        if (strName.empty() || strName == "." || strName == ".." ||
            strName.find('/') != std::string::npos) {
            return EOpenResult::Failed;
        }
        CUniqueFd fd(::openat(m_Fd.Get(), strName.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct statx stx {};
        if (!fd.IsValid() || !StatFd(fd.Get(), &stx)) {
            return FromErrno(errno);
        }
        if (S_ISLNK(stx.stx_mode)) {
            return EOpenResult::Linked;
        }
        if (!S_ISDIR(stx.stx_mode)) {
            return EOpenResult::NotThatKind;
        }
        const SMount mount = MountOf(stx);
        if (!mount.IsSameAs(m_mount)) {
            return EOpenResult::Mounted;
        }
        *pFolder = std::make_unique<CLinuxFolder>(std::move(fd), m_path + "/" + strName, mount);
        return EOpenResult::Opened;
    }

    EOpenResult OpenFolder(const std::string& strName, std::unique_ptr<IFolder>* pFolder) override {
        std::unique_ptr<CLinuxFolder> pOpened;
        const EOpenResult result = Open(strName, &pOpened);
        *pFolder = std::move(pOpened);
        return result;
    }

    bool ClearReadOnly() override { return ClearReadOnlyOf(m_Fd.Get()); }

    bool ClearFileReadOnly(const std::string& strName) override {
        const CUniqueFd fd(::openat(m_Fd.Get(), strName.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        return fd.IsValid() && ClearReadOnlyOf(fd.Get());
    }

    bool DeleteFile(const std::string& strName) override {
        return ::unlinkat(m_Fd.Get(), strName.c_str(), 0) == 0 || errno == ENOENT;
    }

    bool RemoveFolder(const std::string& strName) override {
        return ::unlinkat(m_Fd.Get(), strName.c_str(), AT_REMOVEDIR) == 0 || errno == ENOENT;
    }

    EOpenResult OpenForOverwrite(const std::string& strName,
                                 std::unique_ptr<IOverwriteFile>* pFile) override {
        pFile->reset();
        // The entry itself first, never what a link points to: its kind and its names decide
        // whether it is opened for writing at all.
        CUniqueFd entry(::openat(m_Fd.Get(), strName.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (!entry.IsValid() || ::fstat(entry.Get(), &st) != 0) {
            return FromErrno(errno);
        }
        if (S_ISLNK(st.st_mode)) {
            return EOpenResult::Linked;
        }
        if (!S_ISREG(st.st_mode)) {
            return EOpenResult::NotThatKind;
        }
        if (st.st_nlink > 1) {
            // Its body is another name's too: it is only told, never written.
            *pFile = std::make_unique<COverwriteFile>(std::move(entry), st);
            return EOpenResult::Opened;
        }
        // The very entry checked, opened again for writing.
        const std::string self = "/proc/self/fd/" + std::to_string(entry.Get());
        CUniqueFd fd(::open(self.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
        if (!fd.IsValid()) {
            return FromErrno(errno);
        }
        *pFile = std::make_unique<COverwriteFile>(std::move(fd), st);
        return EOpenResult::Opened;
    }

private:
    CUniqueFd m_Fd;
    std::string m_path;
    SMount m_mount;
};

struct SIdentity {
    dev_t dev = 0;
    ino_t ino = 0;

    bool operator==(const SIdentity&) const = default;
};

bool IdentityOf(int fd, SIdentity* identity) {
    struct statx stx {};
    if (!StatFd(fd, &stx)) {
        return false;
    }
    *identity = {makedev(stx.stx_dev_major, stx.stx_dev_minor), stx.stx_ino};
    return true;
}

}  // namespace

CLinuxFileSystem::CLinuxFileSystem(std::vector<std::string> homes) : m_homes(std::move(homes)) {}

std::vector<std::string> CLinuxFileSystem::UserHomes() {
    std::vector<std::string> homes;
    // $HOME may name another folder than the user database, or be missing.
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        homes.emplace_back(home);
    }
    std::vector<char> buffer(16384);
    struct passwd entry {};
    struct passwd* pEntry = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &pEntry) == 0 &&
        pEntry != nullptr && pEntry->pw_dir != nullptr && pEntry->pw_dir[0] == '/') {
        homes.emplace_back(pEntry->pw_dir);
    }
    return homes;
}

EOpenResult CLinuxFileSystem::OpenDataFolder(const SDataFolder& folder,
                                             std::unique_ptr<IFolder>* pFolder) {
    pFolder->reset();
    // The root is where the user chose to keep the data, links and all.
    CUniqueFd fd(::open(folder.strRoot.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct statx stx {};
    if (folder.strRoot.empty() || !fd.IsValid() || !StatFd(fd.Get(), &stx)) {
        return folder.strRoot.empty() ? EOpenResult::Missing : FromErrno(errno);
    }
    auto pCurrent = std::make_unique<CLinuxFolder>(std::move(fd), folder.strRoot, MountOf(stx));
    for (const std::filesystem::path& part : std::filesystem::path(folder.strBelow)) {
        if (part.empty() || part == ".") {
            continue;
        }
        std::unique_ptr<CLinuxFolder> pNext;
        if (const EOpenResult result = pCurrent->Open(part.string(), &pNext);
            result != EOpenResult::Opened) {
            return result;
        }
        pCurrent = std::move(pNext);
    }
    if (IsProtected(pCurrent->Fd())) {
        return EOpenResult::Refused;
    }
    *pFolder = std::move(pCurrent);
    return EOpenResult::Opened;
}

bool CLinuxFileSystem::IsProtected(int fd) const {
    SIdentity folder;
    if (!IdentityOf(fd, &folder)) {
        return true;
    }
    for (const std::string& home : m_homes) {
        // The nearest folder of the home folder's path that exists, then every folder above
        // it up to the root, found through "..", as the kernel walks it.
        CUniqueFd current;
        for (std::filesystem::path path = home; !current.IsValid() && !path.empty();
             path = path.parent_path()) {
            current.Reset(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (path == path.parent_path()) {
                break;
            }
        }
        SIdentity identity;
        while (current.IsValid() && IdentityOf(current.Get(), &identity)) {
            if (identity == folder) {
                return true;
            }
            CUniqueFd parent(::openat(current.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
            SIdentity parentIdentity;
            if (!parent.IsValid() || !IdentityOf(parent.Get(), &parentIdentity) ||
                parentIdentity == identity) {
                break;
            }
            current = std::move(parent);
        }
    }
    const CUniqueFd root(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    SIdentity rootIdentity;
    return !root.IsValid() || !IdentityOf(root.Get(), &rootIdentity) || rootIdentity == folder;
}

bool CLinuxFileSystem::DeleteFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}
