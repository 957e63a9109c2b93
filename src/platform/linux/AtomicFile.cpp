#include "platform/linux/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

namespace fs = std::filesystem;

namespace {

int WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t count = ::write(fd, text.data(), text.size());
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        text.remove_prefix(static_cast<std::size_t>(count));
    }
    return 0;
}

}  // namespace

CAtomicFile::CAtomicFile(fs::path path, std::string tempPrefix) : m_Path(std::move(path)) {
    const fs::path folder = m_Path.parent_path();
    m_strTempPath = ((folder.empty() ? fs::path(".") : folder) / tempPrefix).string() + "XXXXXX";
}

CAtomicFile::~CAtomicFile() {
    if (m_bPending) {
        ::unlink(m_strTempPath.c_str());
    }
}

int CAtomicFile::Write(std::string_view content, mode_t mode) {
    if (m_bPending || m_Folder.IsValid()) {
        return EINVAL;
    }
    const fs::path folder = fs::path(m_strTempPath).parent_path();
    m_Folder.Reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_Folder.IsValid()) {
        return errno;
    }
    CUniqueFd temp(::mkostemp(m_strTempPath.data(), O_CLOEXEC));
    if (!temp.IsValid()) {
        return errno;
    }
    m_bPending = true;
    int error = WriteAll(temp.Get(), content);
    if (error == 0 && ::fchmod(temp.Get(), mode) != 0) {
        error = errno;
    }
    if (error == 0 && ::fsync(temp.Get()) != 0) {
        error = errno;
    }
    if (error == 0 && ::fstat(temp.Get(), &m_Written) != 0) {
        error = errno;
    }
    if (error == 0 && ::close(temp.Release()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(m_strTempPath.c_str());
        m_bPending = false;
    }
    return error;
}

int CAtomicFile::Commit() {
    if (!m_bPending) {
        return EINVAL;
    }
    m_bPending = false;
    if (std::rename(m_strTempPath.c_str(), m_Path.c_str()) != 0) {
        const int error = errno;
        ::unlink(m_strTempPath.c_str());
        return error;
    }
    ::fsync(m_Folder.Get());
    return 0;
}

int CAtomicFile::Replace(const fs::path& path, std::string tempPrefix, std::string_view content,
                         mode_t mode) {
    CAtomicFile file(path, std::move(tempPrefix));
    const int error = file.Write(content, mode);
    return error != 0 ? error : file.Commit();
}
