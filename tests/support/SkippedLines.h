#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/registry/RegFile.h"

// `text` without the lines that CRegFile::Parse reported as left out: what it must read the
// same, with nothing left out. Header-only, so the fuzz target can use it.
inline std::string WithoutSkippedLines(std::string_view text,
                                       const std::vector<CRegFile::CSkipped>& skipped) {
    std::string kept;
    std::size_t nLine = 1;
    auto next = skipped.begin();
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
        while (next != skipped.end() && next->nLine + next->nLines <= nLine) {
            ++next;
        }
        if (next == skipped.end() || nLine < next->nLine) {
            kept += text.substr(0, length);
        }
        text.remove_prefix(length);
        ++nLine;
    }
    return kept;
}
