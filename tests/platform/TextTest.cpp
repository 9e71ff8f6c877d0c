#include "platform/Text.h"
#include "platform/Cp932Literal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

using platform::Cp932ToUtf8;
using platform::Utf8NameToCp932;
using platform::Utf8ToCp932;

namespace {

const std::string Replacement = u8"\uFFFD";

std::string Utf8Of(char32_t c)
{
    if (c < 0x80)
        return std::string(1, static_cast<char>(c));
    if (c < 0x800)
        return {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
    return {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
            static_cast<char>(0x80 | (c & 0x3F))};
}

// The compiler makes the bytes that the run-time conversion makes, for every
// character cp932 holds outside the private-use area, and no other.
TEST(Text, LiteralsAreCp932)
{
    EXPECT_EQ(std::string(CP932("ﾚﾃﾞｨ")), "\xDA\xC3\xDE\xA8");
    EXPECT_EQ(std::string(CP932("表ソ")), "\x95\x5C\x83\x5C");
    static_assert(sizeof(CP932("a\0表")) == 5);

    using platform::cp932::table;
    std::size_t held = 0;
    for (char32_t c = 1; c < 0x10000; ++c) {
        if (c >= 0xD800 && c <= 0xF8FF)
            continue;  // surrogates and the private-use area
        const std::string runtime = Utf8ToCp932(Utf8Of(c));
        if (runtime == "?" && c != '?')
            continue;
        ++held;
        if (c < 0x80) {
            EXPECT_EQ(runtime, Utf8Of(c));
            continue;
        }
        const auto entry = std::lower_bound(std::begin(table), std::end(table), c,
                                            [](const auto& e, char32_t value) { return e.character < value; });
        ASSERT_TRUE(entry != std::end(table) && entry->character == c)
            << "U+" << std::hex << static_cast<unsigned>(c) << " is missing";
        const std::string compiled =
            entry->code > 0xFF ? std::string{static_cast<char>(entry->code >> 8), static_cast<char>(entry->code & 0xFF)}
                               : std::string(1, static_cast<char>(entry->code));
        EXPECT_EQ(compiled, runtime) << "U+" << std::hex << static_cast<unsigned>(c);
    }
    EXPECT_EQ(held, 127 + std::size(table));
}

TEST(Text, RoundTrips)
{
    struct Case {
        std::string cp932, utf8;
    } cases[] = {
        {"", ""},
        {"plain ASCII \\ ~", "plain ASCII \\ ~"},
        {CP932("ﾚﾃﾞｨ"), u8"ﾚﾃﾞｨ"},
        {CP932("表ソ\\能"), u8"表ソ\\能"},
        {CP932("Ａα Жё①"), u8"Ａα Жё①"},
        {std::string(CP932("a\0表"), 4), std::string(u8"a\0表", 5)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Cp932ToUtf8(c.cp932), c.utf8);
        EXPECT_EQ(Utf8ToCp932(c.utf8), c.cp932);
    }
}

TEST(Text, WhatCp932CannotHoldBecomesOneQuestionMarkPerCharacter)
{
    struct Case {
        std::string utf8, cp932;
    } cases[] = {
        {u8"a€b", "a?b"},
        {u8"😀表", CP932("?表")},
        {u8"¥", "?"},  // must not become 0x5C, a path separator
        {u8"‾", "?"},
        {"\xC3\x28", "?("},   // lead byte without its continuation
        {"x\xE8\xA1", "x?"},  // cut short at the end: one character
        {"\xE8\xA1y", "?y"},
        {"\xED\xA0\x80", "???"},  // surrogate
        {"\xC0\xAF\xFF", "???"},  // overlong form, byte never used
        {"\x80", "?"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Utf8ToCp932(c.utf8), c.cp932) << c.cp932;
}

TEST(Text, InvalidCp932BecomesReplacementCharacter)
{
    struct Case {
        std::string cp932, utf8;
    } cases[] = {
        {"a\x81", "a" + Replacement},    // lead byte before the end
        {"\x81 b", Replacement + " b"},  // lead byte before a non-trail byte
        {"\x85\x5C", Replacement},       // unassigned pair: its 0x5C is no backslash
        {"\x80\xFF", Replacement + Replacement},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Cp932ToUtf8(c.cp932), c.utf8);
}

// A name survives the trip through cp932 byte for byte, whatever it holds;
// a name that cp932 can hold keeps its plain cp932 codes.
struct Name {
    const char* utf8;
    bool allCp932;
};

void PrintTo(const Name& name, std::ostream* out)
{
    *out << name.utf8;
}

class NameRoundTrip : public testing::TestWithParam<Name> {};

TEST_P(NameRoundTrip, KeepsEveryByte)
{
    const std::string utf8 = GetParam().utf8;
    const std::string cp932 = Utf8NameToCp932(utf8);
    EXPECT_EQ(Cp932ToUtf8(cp932), utf8);
    EXPECT_EQ(Utf8NameToCp932(utf8), cp932) << "a second trip gives the same codes";
    EXPECT_EQ(cp932.find('?'), std::string::npos);
    if (GetParam().allCp932) {
        EXPECT_EQ(cp932, Utf8ToCp932(utf8));
    }
}

INSTANTIATE_TEST_SUITE_P(Text, NameRoundTrip,
                         testing::Values(Name{u8"josé/Música/naïve", false}, Name{u8"Школа/Ёжик", true},
                                         Name{u8"🎸 songs/😀", false}, Name{u8"日本語/表ソ能", true},
                                         Name{u8"鷗外/𠮷野家", false}, Name{u8"¥ and ‾ and €", false},
                                         Name{u8"\uE000 private \uE757", false},
                                         Name{"latin1 caf\xE9/\xC3\x28/\xFF", false}, Name{u8"mixed é表Ж😀\\", false}));

// Gives out more codes than there are; true when each character got one code
// to itself until they ran out, the rest became '?', and the codes given out
// kept their meaning.
bool UserAreaCodesAreGivenOutOnceEachAndRunOut()
{
    const std::string first = Utf8NameToCp932(u8"ø");
    const auto lead = static_cast<unsigned char>(first.empty() ? 0 : first[0]);
    bool ok = first.size() == 2 && lead >= 0xF0 && lead <= 0xF9;
    ok = ok && Utf8NameToCp932(u8"øø") == first + first;
    ok = ok && Utf8ToCp932(u8"ø") == "?";  // texts other than names take no code
    std::string many;
    for (char32_t c = 0x10000; c < 0x10000 + 2000; ++c) {
        many += static_cast<char>(0xF0 | (c >> 18));
        many += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        many += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        many += static_cast<char>(0x80 | (c & 0x3F));
    }
    const std::string cp932 = Utf8NameToCp932(many);
    ok = ok && cp932.size() == 2 * 1879 + (2000 - 1879) && Cp932ToUtf8(cp932.substr(0, 2)) == many.substr(0, 4);
    return ok && Cp932ToUtf8(first) == u8"ø" && Utf8NameToCp932(u8"ø") == first;
}

// It exhausts the process's codes, so it runs in a child process.
TEST(TextDeathTest, UserAreaCodesRunOut)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(UserAreaCodesAreGivenOutOnceEachAndRunOut() ? 0 : 1), testing::ExitedWithCode(0), "");
}

}  // namespace
