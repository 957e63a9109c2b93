#include "platform/linux/registry/RegKeyNode.h"

#include <algorithm>
#include <utility>

CRegKeyNode* CRegKeyNode::FindSubKey(std::string_view name) {
    return const_cast<CRegKeyNode*>(std::as_const(*this).FindSubKey(name));
}

const CRegKeyNode* CRegKeyNode::FindSubKey(std::string_view name) const {
    const auto it = m_mapSubKeys.find(name);
    return it == m_mapSubKeys.end() ? nullptr : it->second.get();
}

CRegKeyNode& CRegKeyNode::AddSubKey(std::string_view name, bool& bAdded) {
    auto it = m_mapSubKeys.find(name);
    bAdded = it == m_mapSubKeys.end();
    if (bAdded) {
        it = m_mapSubKeys.emplace(std::string(name), std::make_unique<CRegKeyNode>()).first;
    }
    return *it->second;
}

const CRegValue* CRegKeyNode::FindValue(std::string_view name) const {
    const auto it = m_mapValues.find(name);
    return it == m_mapValues.end() ? nullptr : &it->second;
}

bool CRegKeyNode::SetValue(std::string_view name, CRegValue value) {
    const auto it = m_mapValues.find(name);
    if (it == m_mapValues.end()) {
        m_mapValues.emplace(std::string(name), std::move(value));
        return true;
    }
    if (it->second == value) {
        return false;
    }
    it->second = std::move(value);
    return true;
}

bool operator==(const CRegKeyNode& a, const CRegKeyNode& b) {
    return a.m_mapValues == b.m_mapValues &&
           std::equal(a.m_mapSubKeys.begin(), a.m_mapSubKeys.end(), b.m_mapSubKeys.begin(),
                      b.m_mapSubKeys.end(), [](const auto& x, const auto& y) {
                          return x.first == y.first && *x.second == *y.second;
                      });
}
