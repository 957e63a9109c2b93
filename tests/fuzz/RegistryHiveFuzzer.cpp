// Feeds arbitrary bytes to the registry file parser. Whatever parses must come back equal
// from its own text, and that text must be stable.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/linux/registry/RegFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<CRegTree> tree = CRegFile::Parse(text);
    if (!tree) {
        return 0;
    }
    const std::string formatted = CRegFile::Format(*tree);
    const std::optional<CRegTree> again = CRegFile::Parse(formatted);
    if (!again || !(*again == *tree) || CRegFile::Format(*again) != formatted) {
        std::abort();
    }
    return 0;
}
