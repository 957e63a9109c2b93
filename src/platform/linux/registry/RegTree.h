#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "platform/Registry.h"
#include "platform/linux/registry/RegKeyNode.h"

// A whole registry: the predefined roots and the keys below them. The roots always exist,
// and so does HKEY_LOCAL_MACHINE\Software, as on any installed system.
class CRegTree {
public:
    // Levels below a root, as the registry allows; bounds the recursion over a tree.
    static constexpr std::size_t MAX_KEY_DEPTH = 512;
    // The key that exists below HKEY_LOCAL_MACHINE even in an empty store.
    static constexpr std::string_view BUILTIN_KEY = "Software";

    CRegTree();

    static std::span<const HKEY> Roots();
    // "HKEY_LOCAL_MACHINE" and so on; empty for anything that is not a root.
    static std::string_view RootName(HKEY hRoot);
    // The root of that name (letter case ignored), or HKEY_NONE.
    static HKEY RootFromName(std::string_view name);

    // A key name is one level: not empty, and neither '\' (the level separator) nor a byte
    // that cannot stand on a line of the file (NUL, CR, LF).
    static bool IsValidKeyName(std::string_view name);
    // A value name may be empty (the unnamed value) and hold anything but NUL, CR and LF.
    static bool IsValidValueName(std::string_view name);
    // Whether the key at `path` below `hRoot` exists in every tree, values or not.
    static bool IsBuiltIn(HKEY hRoot, std::span<const std::string_view> path);

    // The root's key, or null when `hRoot` is not a root.
    CRegKeyNode* Root(HKEY hRoot);
    const CRegKeyNode* Root(HKEY hRoot) const;

    // The key at `path` below `hRoot`, or null where a level is missing.
    CRegKeyNode* Find(HKEY hRoot, std::span<const std::string> path);
    const CRegKeyNode* Find(HKEY hRoot, std::span<const std::string> path) const;
    // The key at `path` below `hRoot`, adding the missing levels; `bAdded` tells whether any
    // was. Null when `hRoot` is not a root or the path is deeper than MAX_KEY_DEPTH.
    CRegKeyNode* Create(HKEY hRoot, std::span<const std::string> path, bool& bAdded);

    friend bool operator==(const CRegTree& a, const CRegTree& b) { return a.m_Roots == b.m_Roots; }

private:
    std::array<CRegKeyNode, 5> m_Roots;
};
