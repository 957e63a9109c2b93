#include "platform/linux/registry/RegTree.h"

#include <algorithm>
#include <utility>

#include "platform/linux/registry/NoCaseLess.h"

namespace {

constexpr std::array<HKEY, 5> ROOTS = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE,
                                       HKEY_USERS, HKEY_CURRENT_CONFIG};
constexpr std::array<std::string_view, 5> ROOT_NAMES = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                                        "HKEY_LOCAL_MACHINE", "HKEY_USERS",
                                                        "HKEY_CURRENT_CONFIG"};

// Index of a root in ROOTS, or ROOTS.size().
std::size_t RootIndex(HKEY hRoot) {
    return static_cast<std::size_t>(std::find(ROOTS.begin(), ROOTS.end(), hRoot) - ROOTS.begin());
}

}  // namespace

CRegTree::CRegTree() {
    bool bAdded = false;
    Root(HKEY_LOCAL_MACHINE)->AddSubKey(BUILTIN_KEY, bAdded);
}

std::span<const HKEY> CRegTree::Roots() {
    return ROOTS;
}

std::string_view CRegTree::RootName(HKEY hRoot) {
    const std::size_t index = RootIndex(hRoot);
    return index < ROOT_NAMES.size() ? ROOT_NAMES[index] : std::string_view();
}

HKEY CRegTree::RootFromName(std::string_view name) {
    for (std::size_t i = 0; i < ROOT_NAMES.size(); ++i) {
        if (CNoCaseLess::Equal(name, ROOT_NAMES[i])) {
            return ROOTS[i];
        }
    }
    return HKEY_NONE;
}

bool CRegTree::IsValidKeyName(std::string_view name) {
    return !name.empty() && name.find_first_of(std::string_view("\\\r\n\0", 4)) == name.npos;
}

bool CRegTree::IsValidValueName(std::string_view name) {
    return name.find_first_of(std::string_view("\r\n\0", 3)) == name.npos;
}

bool CRegTree::IsBuiltIn(HKEY hRoot, std::span<const std::string_view> path) {
    return path.empty() || (hRoot == HKEY_LOCAL_MACHINE && path.size() == 1 &&
                            CNoCaseLess::Equal(path.front(), BUILTIN_KEY));
}

CRegKeyNode* CRegTree::Root(HKEY hRoot) {
    return const_cast<CRegKeyNode*>(std::as_const(*this).Root(hRoot));
}

const CRegKeyNode* CRegTree::Root(HKEY hRoot) const {
    const std::size_t index = RootIndex(hRoot);
    return index < m_Roots.size() ? &m_Roots[index] : nullptr;
}

CRegKeyNode* CRegTree::Find(HKEY hRoot, std::span<const std::string> path) {
    return const_cast<CRegKeyNode*>(std::as_const(*this).Find(hRoot, path));
}

const CRegKeyNode* CRegTree::Find(HKEY hRoot, std::span<const std::string> path) const {
    const CRegKeyNode* pKey = Root(hRoot);
    for (auto it = path.begin(); pKey != nullptr && it != path.end(); ++it) {
        pKey = pKey->FindSubKey(*it);
    }
    return pKey;
}

CRegKeyNode* CRegTree::Create(HKEY hRoot, std::span<const std::string> path, bool& bAdded) {
    bAdded = false;
    CRegKeyNode* pKey = Root(hRoot);
    if (pKey == nullptr || path.size() > MAX_KEY_DEPTH) {
        return nullptr;
    }
    for (const std::string& name : path) {
        bool bLevelAdded = false;
        pKey = &pKey->AddSubKey(name, bLevelAdded);
        bAdded = bAdded || bLevelAdded;
    }
    return pKey;
}
