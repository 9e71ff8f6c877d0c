#include "app/Texts.h"

#include "app/Settings.h"
#include "resources/Resources.h"

#include <array>
#include <string>

namespace {

constexpr UINT LastText = IDS_NOT_SAVED;
std::array<std::string, LastText + 1> texts;

}  // namespace

LANGID LanguageOf(int setting, LANGID user)
{
    const LANGID wanted = setting != 0 ? static_cast<LANGID>(setting) : user;
    return PRIMARYLANGID(wanted) == LANG_JAPANESE ? MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)
                                                  : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

void ChooseLanguage(HINSTANCE instance)
{
    SetThreadUILanguage(LanguageOf(LanguageSetting(), GetUserDefaultUILanguage()));
    LoadTexts(instance);
}

void LoadTexts(HINSTANCE instance)
{
    char buffer[4096];
    for (UINT id = 1; id <= LastText; ++id)
        texts[id].assign(buffer, static_cast<std::size_t>(LoadStringA(instance, id, buffer, sizeof buffer)));
}

const char* Text(UINT id)
{
    return id < texts.size() ? texts[id].c_str() : "";
}
