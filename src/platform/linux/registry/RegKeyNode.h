#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/linux/registry/NoCaseLess.h"
#include "platform/linux/registry/RegValue.h"

// A key of a registry tree: its subkeys and its values, both found by name without regard
// to ASCII letter case. A name keeps the case it was first given.
class CRegKeyNode {
public:
    using SubKeyMap = std::map<std::string, std::unique_ptr<CRegKeyNode>, CNoCaseLess>;
    using ValueMap = std::map<std::string, CRegValue, CNoCaseLess>;

    CRegKeyNode* FindSubKey(std::string_view name);
    const CRegKeyNode* FindSubKey(std::string_view name) const;
    // The named subkey, added first when missing; `bAdded` tells which.
    CRegKeyNode& AddSubKey(std::string_view name, bool& bAdded);

    const CRegValue* FindValue(std::string_view name) const;
    // Creates or replaces a value; answers false when it already held exactly this.
    bool SetValue(std::string_view name, CRegValue value);

    const SubKeyMap& SubKeys() const { return m_mapSubKeys; }
    const ValueMap& Values() const { return m_mapValues; }

    // Equal names (letter case included), subkeys and values, all the way down.
    friend bool operator==(const CRegKeyNode& a, const CRegKeyNode& b);

private:
    SubKeyMap m_mapSubKeys;
    ValueMap m_mapValues;
};
