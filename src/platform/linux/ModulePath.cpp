#include "platform/ModulePath.h"

#include <filesystem>
#include <system_error>

std::string GetModuleFileName() {
    std::error_code ec;
    std::string strPath = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    return ec ? std::string() : strPath;
}
