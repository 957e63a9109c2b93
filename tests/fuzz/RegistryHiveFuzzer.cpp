// Feeds arbitrary bytes to the registry file parser. Whatever it reads, lines left out or
// not, must come back equal from its own text with nothing left out, and that text must be
// stable: the writer never writes a value differently from what was read. The lines left
// out must be exactly what is not read: without them the text reads the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/registry/RegFile.h"
#include "support/SkippedLines.h"

namespace {

// The tree `text` gives when nothing in it may be left out.
std::optional<CRegTree> ParseWhole(std::string_view text) {
    std::vector<CRegFile::CSkipped> skipped;
    std::optional<CRegTree> tree = CRegFile::Parse(text, &skipped);
    return skipped.empty() ? std::move(tree) : std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<CRegFile::CSkipped> skipped;
    const std::optional<CRegTree> tree = CRegFile::Parse(text, &skipped);
    if (!tree) {
        return 0;
    }
    const std::string formatted = CRegFile::Format(*tree);
    const std::optional<CRegTree> again = ParseWhole(formatted);
    if (!again || !(*again == *tree) || CRegFile::Format(*again) != formatted) {
        std::abort();
    }
    if (!skipped.empty()) {
        const std::optional<CRegTree> rest = ParseWhole(WithoutSkippedLines(text, skipped));
        if (!rest || !(*rest == *tree)) {
            std::abort();
        }
    }
    return 0;
}
