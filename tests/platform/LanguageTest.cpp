// The user's language from the locale, resources found in a language, and
// strings loaded in the one the program speaks.

#include "platform/StringTable.h"
#include "platform/Win32.h"
#include "platform/linux/ui/Resources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

constexpr LANGID Japanese = 0x0411, English = 0x0409, BritishEnglish = 0x0809;

// Sets the locale variables for one case and puts them back after it.
class Locale {
public:
    Locale(const char* all, const char* messages, const char* lang)
    {
        for (const auto& [name, value] : {std::pair{"LC_ALL", all}, {"LC_MESSAGES", messages}, {"LANG", lang}}) {
            const char* old = std::getenv(name);
            saved.push_back({name, old != nullptr ? std::optional<std::string>(old) : std::nullopt});
            if (value != nullptr)
                setenv(name, value, 1);
            else
                unsetenv(name);
        }
    }
    ~Locale()
    {
        for (const auto& [name, value] : saved)
            if (value)
                setenv(name, value->c_str(), 1);
            else
                unsetenv(name);
    }

private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved;
};

TEST(Language, TheUsersComesFromTheFirstLocaleVariableSet)
{
    const struct {
        const char *all, *messages, *lang;
        LANGID expected;
    } cases[] = {
        {nullptr, nullptr, nullptr, English},        {nullptr, nullptr, "ja_JP.UTF-8", Japanese},
        {nullptr, nullptr, "ja", Japanese},          {nullptr, nullptr, "ja_JP.eucJP", Japanese},
        {nullptr, nullptr, "ja@x", Japanese},        {nullptr, nullptr, "jam_JM", English},
        {nullptr, nullptr, "de_DE.UTF-8", English},  {nullptr, nullptr, "C", English},
        {nullptr, "ja_JP", "en_US", Japanese},       {"C.UTF-8", "ja_JP", "ja_JP", English},
        {"ja_JP.UTF-8", "en_GB", "en_US", Japanese}, {"", "", "ja_JP.UTF-8", Japanese},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.all ? c.all : "-") + " " + (c.messages ? c.messages : "-") + " " +
                     (c.lang ? c.lang : "-"));
        Locale locale(c.all, c.messages, c.lang);
        EXPECT_EQ(GetUserDefaultUILanguage(), c.expected);
    }
}

TEST(Language, AResourceIsFoundInTheLanguageAskedOrTheNearestThereIs)
{
    const platform::ResourceSection section = {
        {platform::RT_DIALOG, 1, {1}, Japanese}, {platform::RT_DIALOG, 1, {2}, English},
        {platform::RT_DIALOG, 2, {3}, 0},        {platform::RT_DIALOG, 3, {4}, BritishEnglish},
        {platform::RT_DIALOG, 4, {5}, 0x0009},   {platform::RT_DIALOG, 4, {6}, Japanese},
    };
    const HINSTANCE module = platform::ModuleHandle(section);
    const struct {
        WORD id;
        LANGID asked;
        BYTE found;
    } cases[] = {
        {1, Japanese, 1}, {1, English, 2}, {1, 0x0407, 1},          // German: the first
        {2, Japanese, 3}, {3, English, 4}, {4, BritishEnglish, 5},  // English with no sublanguage
        {4, Japanese, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.id) + " in " + std::to_string(c.asked));
        const platform::Resource* resource = platform::FindResource(module, platform::RT_DIALOG, c.id, c.asked);
        ASSERT_NE(resource, nullptr);
        EXPECT_EQ(resource->data, std::vector<BYTE>{c.found});
    }
    // Neutral: the user's language.
    Locale japanese(nullptr, nullptr, "ja_JP.UTF-8");
    EXPECT_EQ(platform::FindResource(module, platform::RT_DIALOG, 1)->data, std::vector<BYTE>{1});
    Locale english(nullptr, nullptr, "en_US.UTF-8");
    EXPECT_EQ(platform::FindResource(module, platform::RT_DIALOG, 1)->data, std::vector<BYTE>{2});
    EXPECT_EQ(platform::FindResource(module, platform::RT_DIALOG, 5), nullptr);
}

// Strings 1 and 17 (in blocks 1 and 2), in Japanese and English.
platform::ResourceSection StringSection()
{
    std::array<std::u16string, platform::StringsPerBlock> first{}, second{};
    first[1] = u"ﾚﾃﾞｨ 二重起動";
    second[1] = u"2nd";
    std::array<std::u16string, platform::StringsPerBlock> english{};
    english[1] = u"Ready";
    return {
        {platform::RT_STRING, 1, platform::WriteStringBlock(first), Japanese},
        {platform::RT_STRING, 2, platform::WriteStringBlock(second), Japanese},
        {platform::RT_STRING, 1, platform::WriteStringBlock(english), English},
    };
}

TEST(Language, StringsLoadInTheLanguageSetWholeCharactersAtATime)
{
    static const platform::ResourceSection section = StringSection();
    const HINSTANCE module = platform::ModuleHandle(section);
    const std::string japanese = "\xDA\xC3\xDE\xA8 \x93\xF1\x8F\x64\x8B\x4E\x93\xAE";  // ﾚﾃﾞｨ 二重起動 in cp932
    const struct {
        LANGID language;
        UINT id;
        int size;
        std::string expected;
    } cases[] = {
        {Japanese, 1, 64, japanese},
        {Japanese, 1, 8, japanese.substr(0, 7)},  // 7 bytes: the two-byte 二 would not fit
        {Japanese, 1, 9, japanese.substr(0, 7)},  // 8 bytes is half of 重
        {Japanese, 1, 10, japanese.substr(0, 9)},
        {Japanese, 1, 1, ""},
        {Japanese, 17, 64, "2nd"},
        {English, 1, 64, "Ready"},
        {English, 17, 64, "2nd"},  // only in Japanese: found there
        {Japanese, 2, 64, ""},     // no such string
        {Japanese, 40, 64, ""},    // no such block
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.language) + " " + std::to_string(c.id) + " in " + std::to_string(c.size));
        EXPECT_EQ(SetThreadUILanguage(c.language), c.language);
        char buffer[64];
        std::fill(std::begin(buffer), std::end(buffer), 'x');
        const int length = LoadStringA(module, c.id, buffer, c.size);
        EXPECT_EQ(length, static_cast<int>(c.expected.size()));
        EXPECT_EQ(std::string(buffer), c.expected);
    }
    char untouched = 'x';
    EXPECT_EQ(LoadStringA(module, 1, &untouched, 0), 0);
    EXPECT_EQ(untouched, 'x');
    EXPECT_EQ(LoadStringA(module, 1, nullptr, 10), 0);
    // A null module is the process's, which this test program has none of.
    char buffer[8];
    EXPECT_EQ(LoadStringA(nullptr, 1, buffer, sizeof buffer), 0);
    platform::SetProcessModule(module);
    EXPECT_EQ(LoadStringA(nullptr, 17, buffer, sizeof buffer), 3);
    platform::SetProcessModule(nullptr);
}

}  // namespace
