// Scoped environment variables for the companion tests: set (or unset) for
// the lifetime of the object, the old value restored afterwards.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

class CEnvSetting {
public:
    CEnvSetting(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    CEnvSetting(const char* name, const std::string& value) : CEnvSetting(name, value.c_str()) {}
    ~CEnvSetting()
    {
        if (m_old)
            setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }
    CEnvSetting(const CEnvSetting&) = delete;
    CEnvSetting& operator=(const CEnvSetting&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};
