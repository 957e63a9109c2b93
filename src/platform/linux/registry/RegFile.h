#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/registry/RegTree.h"

// The text form of a registry tree: the REGEDIT4 format that people can read and edit.
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\Software\hollin\QLIO\option]
//   "speed"=dword:00000014
//   "name"="text with \\ and \" escaped"
//   @=hex:01,02,03
//   "black"=hex(7):68,74,74,70,00,00
//
// Values are written as dword: (a REG_DWORD of 4 bytes), as a quoted string (a REG_SZ of
// printable UTF-8 with its one terminating zero), as hex: (REG_BINARY) and as hex(N): for
// every other type N or any data the shorter forms cannot carry, so every value survives a
// round trip exactly. Long byte lists are wrapped with a trailing '\'. Sections are written
// for keys that hold values and for keys without subkeys; the levels above exist implicitly.
class CRegFile {
public:
    // Lines that Parse() left out: the number of the first (from 1, the header being line 1)
    // and how many lines, a value's continuation lines included.
    struct CSkipped {
        std::size_t nLine = 0;
        std::size_t nLines = 0;
        friend bool operator==(const CSkipped&, const CSkipped&) = default;
    };

    // The tree the text describes. Nothing when the text is not a REGEDIT4 file: it has a
    // missing or unknown header. Every other line that cannot be read is left out and listed
    // in `pSkipped` (when given), in order: a section with an unknown root, a bad level or
    // too many levels, with the values below it up to the next section; a deletion entry
    // ([-key], "name"=-); a value before the first key; a value with bad data (bad hex, a
    // continuation that runs into a line of another kind or off the end); stray text.
    // Blank lines, comment lines (';'), CR LF line ends, blanks around lines and a UTF-8
    // byte order mark are accepted. An empty text is an empty tree. A key or value given
    // twice is merged, the later data winning and the first spelling of the name staying.
    static std::optional<CRegTree> Parse(std::string_view text,
                                         std::vector<CSkipped>* pSkipped = nullptr);

    // The text of a tree; Parse() gives back an equal tree and skips nothing.
    static std::string Format(const CRegTree& tree);
};
