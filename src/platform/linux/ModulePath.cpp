#include "platform/ModulePath.h"

#include <string_view>
#include <system_error>

#include "platform/linux/ModulePath.h"

std::string ReadExecutableLink(const std::filesystem::path& link) {
    std::error_code ec;
    std::string strPath = std::filesystem::read_symlink(link, ec).string();
    if (ec) {
        return {};
    }
    // Only the kernel's mark: a file really named so still exists under its name.
    constexpr std::string_view kDeleted = " (deleted)";
    if (strPath.ends_with(kDeleted) && !std::filesystem::exists(strPath, ec)) {
        strPath.resize(strPath.size() - kDeleted.size());
    }
    return strPath;
}

std::string GetModuleFileName() {
    return ReadExecutableLink("/proc/self/exe");
}
