#include "platform/Text.h"

#include <gtest/gtest.h>

#include <string>

using platform::Cp932ToUtf8;
using platform::Utf8ToCp932;

namespace {

const std::string kReplacement = u8"\uFFFD";

TEST(Text, LiteralsAreCp932) {
    EXPECT_EQ(std::string("ﾚﾃﾞｨ"), "\xDA\xC3\xDE\xA8");
    EXPECT_EQ(std::string("表ソ"), "\x95\x5C\x83\x5C");
}

TEST(Text, RoundTrips) {
    struct Case {
        std::string cp932, utf8;
    } cases[] = {
        {"", ""},
        {"plain ASCII \\ ~", "plain ASCII \\ ~"},
        {"ﾚﾃﾞｨ", u8"ﾚﾃﾞｨ"},
        {"表ソ\\能", u8"表ソ\\能"},
        {"Ａα Жё①", u8"Ａα Жё①"},
        {std::string("a\0表", 4), std::string(u8"a\0表", 5)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Cp932ToUtf8(c.cp932), c.utf8);
        EXPECT_EQ(Utf8ToCp932(c.utf8), c.cp932);
    }
}

TEST(Text, WhatCp932CannotHoldBecomesOneQuestionMarkPerCharacter) {
    struct Case {
        std::string utf8, cp932;
    } cases[] = {
        {u8"a€b", "a?b"},
        {u8"😀表", "?表"},
        {u8"¥", "?"},  // must not become 0x5C, a path separator
        {u8"‾", "?"},
        {"\xC3\x28", "?("},          // lead byte without its continuation
        {"x\xE8\xA1", "x?"},         // cut short at the end: one character
        {"\xE8\xA1y", "?y"},
        {"\xED\xA0\x80", "???"},     // surrogate
        {"\xC0\xAF\xFF", "???"},     // overlong form, byte never used
        {"\x80", "?"},
    };
    for (const Case& c : cases) EXPECT_EQ(Utf8ToCp932(c.utf8), c.cp932) << c.cp932;
}

TEST(Text, InvalidCp932BecomesReplacementCharacter) {
    struct Case {
        std::string cp932, utf8;
    } cases[] = {
        {"a\x81", "a" + kReplacement},              // lead byte before the end
        {"\x81 b", kReplacement + " b"},            // lead byte before a non-trail byte
        {"\x85\x5C", kReplacement},                 // unassigned pair: its 0x5C is no backslash
        {"\x80\xFF", kReplacement + kReplacement},
    };
    for (const Case& c : cases) EXPECT_EQ(Cp932ToUtf8(c.cp932), c.utf8);
}

}  // namespace
