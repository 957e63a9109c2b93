#pragma once

#include <cstdlib>
#include <optional>
#include <string>

// Sets an environment variable (or removes it, given no value) for as long as the object
// lives, then puts back what was there before.
class CScopedEnv {
public:
    CScopedEnv(std::string strName, const std::optional<std::string>& value)
        : m_strName(std::move(strName)) {
        if (const char* old = std::getenv(m_strName.c_str())) {
            m_strOld = old;
        }
        Put(value);
    }
    ~CScopedEnv() { Put(m_strOld); }
    CScopedEnv(const CScopedEnv&) = delete;
    CScopedEnv& operator=(const CScopedEnv&) = delete;

private:
    void Put(const std::optional<std::string>& value) const {
        if (value) {
            setenv(m_strName.c_str(), value->c_str(), 1);
        } else {
            unsetenv(m_strName.c_str());
        }
    }

    std::string m_strName;
    std::optional<std::string> m_strOld;
};
