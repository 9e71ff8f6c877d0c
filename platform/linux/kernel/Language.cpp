// kernel32: the user's language, from the locale, and the language the
// program's resources are found in.

#include "platform/Win32.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

// Set once by the program, before its windows, read by the resource lookups.
std::atomic<LANGID> uiLanguage{0};

}  // namespace

LANGID GetUserDefaultUILanguage()
{
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* locale = std::getenv(variable);
        if (locale == nullptr || *locale == '\0')
            continue;
        // "ja", "ja_JP", "ja_JP.UTF-8", "ja@...": the language is what comes before '_', '.' or '@'.
        const bool japanese = std::strncmp(locale, "ja", 2) == 0 && std::strchr("_.@", locale[2]) != nullptr;
        return japanese ? MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT) : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
    }
    return MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

LANGID SetThreadUILanguage(LANGID language)
{
    if (language != 0)
        uiLanguage = language;
    return GetThreadUILanguage();
}

LANGID GetThreadUILanguage()
{
    const LANGID language = uiLanguage;
    return language != 0 ? language : GetUserDefaultUILanguage();
}
