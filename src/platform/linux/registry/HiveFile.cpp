#include "platform/linux/registry/HiveFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/linux/AtomicFile.h"
#include "platform/linux/UniqueFd.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view TEMP_MARK = ".tmp-";
constexpr std::string_view CORRUPT_MARK = ".corrupt-";
constexpr std::string_view LOCK_SUFFIX = ".lock";
// Copies of unparsable files made within one second before a name is refused.
constexpr int MAX_CORRUPT_COPIES_PER_SECOND = 1000;

LSTATUS StatusFromErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
        case ENOTDIR:
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        case ENOMEM:
            return ERROR_OUTOFMEMORY;
        default:
            return ERROR_REGISTRY_IO_FAILED;
    }
}

fs::path FolderOf(const fs::path& path) {
    const fs::path parent = path.parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

// Creates `folder` and the missing ones above it, mode 0700; answers 0 or an errno.
int MakeFolders(const fs::path& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    }
    if (errno != ENOENT) {
        return errno;
    }
    const fs::path parent = FolderOf(folder);
    if (parent != folder) {
        if (const int error = MakeFolders(parent); error != 0) {
            return error;
        }
    }
    if (::mkdir(folder.c_str(), 0700) != 0) {
        return errno == EEXIST ? 0 : errno;
    }
    // The new folder's entry must reach the disk too, or a crash could take the first file
    // written into it along with it.
    const CUniqueFd parentFd(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (parentFd.IsValid()) {
        ::fsync(parentFd.Get());
    }
    return 0;
}

// Reads to the end of the file, but no more than `limit` + 1 bytes; answers 0 or an errno.
int ReadAll(int fd, std::size_t sizeHint, std::size_t limit, std::string& text) {
    text.resize(std::min(sizeHint, limit) + 1);
    std::size_t length = 0;
    for (;;) {
        if (length == text.size()) {
            if (length > limit) {
                break;
            }
            text.resize(std::min(text.size() * 2, limit + 1));
        }
        const ssize_t count = ::read(fd, text.data() + length, text.size() - length);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (count == 0) {
            break;
        }
        length += static_cast<std::size_t>(count);
    }
    text.resize(length);
    return 0;
}

}  // namespace

CHiveFile::CHiveFile(fs::path path) : m_Path(std::move(path)) {}

fs::path CHiveFile::Folder() const {
    return FolderOf(m_Path);
}

const CRegTree& CHiveFile::Read() {
    Refresh();
    return m_Tree;
}

int CHiveFile::Refresh() {
    // Non-blocking, so a FIFO put in the file's place cannot hang the open.
    const CUniqueFd fd(::open(m_Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat st {};
    int error = 0;
    if (!fd.IsValid() || ::fstat(fd.Get(), &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        error = EISDIR;
    }
    if (error == 0) {
        const CIdentity identity{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
        if (m_bCacheValid && m_Identity == identity) {
            return 0;
        }
        std::string text;
        error = ReadAll(fd.Get(), static_cast<std::size_t>(st.st_size), MAX_FILE_SIZE, text);
        if (error == 0) {
            std::optional<CRegTree> tree;
            std::vector<CRegFile::CSkipped> skipped;
            if (text.size() <= MAX_FILE_SIZE) {
                tree = CRegFile::Parse(text, &skipped);
            }
            if (m_ReportedIdentity != identity) {
                ReportSkipped(skipped);
                m_ReportedIdentity = identity;
            }
            m_bParsed = tree.has_value() && skipped.empty();
            m_bLeftOut = m_bLeftOut || !m_bParsed;
            m_Tree = tree ? std::move(*tree) : CRegTree();
            m_Identity = identity;
            m_nMode = st.st_mode;
            m_bCacheValid = true;
            return 0;
        }
    }
    if (!m_bCacheValid || m_Identity) {
        m_Tree = CRegTree();
    }
    m_Identity.reset();
    m_bParsed = true;
    m_bLeftOut = m_bLeftOut || error != ENOENT;
    m_bCacheValid = true;
    return error == ENOENT ? 0 : error;
}

void CHiveFile::ReportSkipped(const std::vector<CRegFile::CSkipped>& skipped) const {
    for (const CRegFile::CSkipped& lines : skipped) {
        if (lines.nLines == 1) {
            std::fprintf(stderr, "%s:%zu: this line cannot be read and is left out\n",
                         m_Path.c_str(), lines.nLine);
        } else {
            std::fprintf(stderr, "%s:%zu-%zu: these lines cannot be read and are left out\n",
                         m_Path.c_str(), lines.nLine, lines.nLine + lines.nLines - 1);
        }
    }
}

bool CHiveFile::CanWrite() const {
    if (!m_Path.has_filename()) {
        return false;
    }
    struct stat st {};
    if (::stat(m_Path.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode) ||
            ::faccessat(AT_FDCWD, m_Path.c_str(), R_OK | W_OK, AT_EACCESS) != 0) {
            return false;
        }
    } else if (errno != ENOENT) {
        return false;
    }
    // A missing folder will be made in the nearest one that exists.
    for (fs::path folder = Folder();; folder = FolderOf(folder)) {
        if (::stat(folder.c_str(), &st) == 0) {
            return S_ISDIR(st.st_mode) &&
                   ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
        }
        if (errno != ENOENT || FolderOf(folder) == folder) {
            return false;
        }
    }
}

LSTATUS CHiveFile::Update(const std::function<LSTATUS(CRegTree& tree, bool& bChanged)>& change) {
    if (!CanWrite()) {
        return ERROR_ACCESS_DENIED;
    }
    const fs::path folder = Folder();
    if (const int error = MakeFolders(folder); error != 0) {
        return StatusFromErrno(error);
    }
    // Every writer holds this lock from reading the file to replacing it. The kernel drops
    // it when a writer dies.
    const fs::path lockPath = fs::path(m_Path) += LOCK_SUFFIX;
    const CUniqueFd lock(::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600));
    if (!lock.IsValid()) {
        return StatusFromErrno(errno);
    }
    while (::flock(lock.Get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            return StatusFromErrno(errno);
        }
    }
    RemoveStaleTemporaries(folder);
    if (const int error = Refresh(); error != 0) {
        return StatusFromErrno(error);
    }
    // Until the new file is in place, or the change turns out to be none, the tree need not
    // match the file (an exception may also leave it half changed).
    m_bCacheValid = false;
    bool bChanged = false;
    const LSTATUS status = change(m_Tree, bChanged);
    if (status != ERROR_SUCCESS || !bChanged) {
        m_bCacheValid = true;
        return status;
    }
    return Store(folder);
}

LSTATUS CHiveFile::Store(const fs::path& folder) {
    const std::string text = CRegFile::Format(m_Tree);
    if (text.size() > MAX_FILE_SIZE) {
        return ERROR_OUTOFMEMORY;
    }
    CAtomicFile file(m_Path, m_Path.filename().string() + std::string(TEMP_MARK));
    // A file replaced keeps its permissions; a new one is private.
    int error = file.Write(text, m_Identity ? m_nMode & 07777 : 0600);
    if (error == 0 && m_Identity && !m_bParsed) {
        error = KeepCorrupt(folder);
    }
    if (error == 0) {
        error = file.Commit();
    }
    if (error != 0) {
        return StatusFromErrno(error);
    }
    const struct stat& written = file.Written();
    struct stat st {};
    if (::stat(m_Path.c_str(), &st) == 0 && st.st_dev == written.st_dev &&
        st.st_ino == written.st_ino) {
        m_Identity = CIdentity{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
        m_nMode = st.st_mode;
        m_bParsed = true;
        m_bCacheValid = true;
    }
    return ERROR_SUCCESS;
}

int CHiveFile::KeepCorrupt(const fs::path& folder) const {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::array<char, 32> stamp{};
    std::strftime(stamp.data(), stamp.size(), "%Y%m%d-%H%M%S", &local);
    const std::string base = m_Path.filename().string() + std::string(CORRUPT_MARK) + stamp.data();
    for (int n = 0; n < MAX_CORRUPT_COPIES_PER_SECOND; ++n) {
        const fs::path copy = folder / (n == 0 ? base : base + "-" + std::to_string(n));
        // A hard link never replaces an existing name, and the file stays in place until the
        // new one is renamed over it.
        if (::link(m_Path.c_str(), copy.c_str()) == 0) {
            return 0;
        }
        if (errno != EEXIST) {
            return errno;
        }
    }
    return EEXIST;
}

void CHiveFile::RemoveStaleTemporaries(const fs::path& folder) const {
    // Called under the lock: no live writer has a temporary file now.
    const std::string prefix = m_Path.filename().string() + std::string(TEMP_MARK);
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(prefix)) {
            ::unlink(it->path().c_str());
        }
    }
}
