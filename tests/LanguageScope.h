// Runs a test part in one language: the message locale set through LANG
// (LANGUAGE, LC_ALL and LC_MESSAGES cleared) and no fixed language, all
// restored afterwards. "C.UTF-8" gives the shipped texts.
#pragma once

#include "companions/EnvSetting.h"
#include "framework/Translation.h"

class CLanguageScope {
public:
    explicit CLanguageScope(const char* locale)
        : m_language("LANGUAGE", nullptr), m_lcAll("LC_ALL", nullptr), m_lcMessages("LC_MESSAGES", nullptr),
          m_lang("LANG", locale)
    {
        ZenSetLanguage("");
    }
    ~CLanguageScope() { ZenSetLanguage(""); }
    CLanguageScope(const CLanguageScope&) = delete;
    CLanguageScope& operator=(const CLanguageScope&) = delete;

private:
    CEnvSetting m_language;
    CEnvSetting m_lcAll;
    CEnvSetting m_lcMessages;
    CEnvSetting m_lang;
};
