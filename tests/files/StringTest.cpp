// Mivo::String: buffer growth and front erasure, cp932-aware searches and
// trims, self-referencing copies and the behaviour when growth fails.
// Plain literals are cp932: "表" is 95 5C and "ソ" is 83 5C, so their second
// byte is a backslash that must never be taken for one.

#include "files/String.h"
#include "platform/Cp932Literal.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

using Mivo::String;

namespace {

TEST(StringTest, NewStringHasSixteenByteBufferAndEmptyText)
{
    String s;
    EXPECT_EQ(s.Capacity(), 16);
    EXPECT_EQ(s.Room(), 16);
    EXPECT_EQ(s.Length(), 0);
    ASSERT_NE(s.Text(), nullptr);
    EXPECT_STREQ(s.Text(), "");
}

TEST(StringTest, AppendCharGrowsOnSixteenthCharacter)
{
    String s;
    for (int i = 0; i < 15; ++i)
        s.AppendChar(static_cast<char>('a' + i));
    EXPECT_EQ(s.Capacity(), 16);
    s.AppendChar('p');
    EXPECT_EQ(s.Capacity(), 32);
    EXPECT_STREQ(s.Text(), "abcdefghijklmnop");
    EXPECT_EQ(s.Length(), 16);
}

TEST(StringTest, EraseFrontMovesOnlyTheTextPointer)
{
    String s("abcdef");
    const char* before = s.Text();
    EXPECT_EQ(s.EraseFront(2), 4);
    EXPECT_EQ(s.Text(), before + 2);
    EXPECT_STREQ(s.Text(), "cdef");
    EXPECT_EQ(s.Room(), 14);
    EXPECT_EQ(s.Capacity(), 16);

    // The two bytes before the text are not reused when growing.
    s.Append("0123456789");
    EXPECT_STREQ(s.Text(), "cdef0123456789");
    EXPECT_EQ(s.Capacity(), 32);
    EXPECT_EQ(s.Room(), 30);

    String fresh("cdef");
    fresh.Append("0123456789");
    EXPECT_EQ(fresh.Capacity(), 16);

    // Clear gives the front space back.
    s.Clear();
    EXPECT_EQ(s.Room(), s.Capacity());
    EXPECT_EQ(s.Length(), 0);
}

TEST(StringTest, EraseFrontAndErase)
{
    struct Case {
        int pos, count;
        const char* expected;
    } cases[] = {
        {0, 0, "abcdef"}, {0, -1, "abcdef"}, {-1, 2, "abcdef"}, {0, 2, "cdef"},  {0, 6, ""},
        {0, 99, ""},      {2, 2, "abef"},    {4, 2, "abcd"},    {4, 99, "abcd"}, {6, 1, "abcdef"},
        {9, 1, "abcdef"}, {1, INT_MAX, "a"}, {5, 1, "abcde"},
    };
    for (const Case& c : cases) {
        String s("abcdef");
        int length = s.Erase(c.pos, c.count);
        EXPECT_STREQ(s.Text(), c.expected) << c.pos << "," << c.count;
        EXPECT_EQ(length, static_cast<int>(std::strlen(c.expected)));
        EXPECT_EQ(s.Length(), length);
    }
}

TEST(StringTest, TruncateCutsOnlyInsideTheText)
{
    String s("abcdef");
    EXPECT_EQ(s.Truncate(10), 6);
    EXPECT_EQ(s.Truncate(-1), 6);
    EXPECT_EQ(s.Truncate(3), 3);
    EXPECT_STREQ(s.Text(), "abc");
}

TEST(StringTest, ReserveAllocatesPowersOfTwoAndKeepsOffset)
{
    String s;
    EXPECT_TRUE(s.Reserve(16));
    EXPECT_EQ(s.Capacity(), 16);
    EXPECT_TRUE(s.Reserve(17));
    EXPECT_EQ(s.Capacity(), 32);
    EXPECT_TRUE(s.Reserve(100));
    EXPECT_EQ(s.Capacity(), 128);

    String t("abcdefgh");
    t.EraseFront(3);
    EXPECT_TRUE(t.Reserve(14));  // room is 13: needs 14 + 3 bytes
    EXPECT_EQ(t.Capacity(), 32);
    EXPECT_EQ(t.Room(), 29);
    EXPECT_STREQ(t.Text(), "defgh");
}

TEST(StringTest, GetBufferAndSetLength)
{
    String s;
    char* buffer = s.GetBuffer(40);
    ASSERT_NE(buffer, nullptr);
    EXPECT_GE(s.Room(), 41);
    std::strcpy(buffer, "hello");
    s.SetLength(-1);
    EXPECT_EQ(s.Length(), 5);
    s.SetLength(3);
    EXPECT_STREQ(s.Text(), "hel");

    // A length past the buffer stays inside it.
    s.SetLength(100000);
    EXPECT_EQ(s.Length(), s.Room() - 1);
    EXPECT_EQ(s.Text()[s.Length()], 0);

    // No terminator written: the buffer's last byte becomes one.
    buffer = s.GetBuffer(0);
    std::memset(buffer, 'x', s.Room());
    s.SetLength(-1);
    EXPECT_EQ(s.Length(), s.Room() - 1);
    EXPECT_EQ(s.Text()[s.Length()], 0);
}

TEST(StringTest, EmbeddedZeroStopsSearchesAndAppend)
{
    String s;
    std::memcpy(s.GetBuffer(5), "ab\0cd", 5);
    s.SetLength(5);
    EXPECT_EQ(s.Length(), 5);
    EXPECT_EQ(s.FindChar('d'), -1);
    EXPECT_EQ(s.FindLastChar('d'), -1);
    EXPECT_EQ(s.FindFirstOf("cd"), -1);
    EXPECT_EQ(s.FindText("cd"), -1);
    String t("x");
    t.Append(s.Text());
    EXPECT_STREQ(t.Text(), "xab");
}

TEST(StringTest, FindCharBoundsAndTrailBytes)
{
    struct Case {
        const char* text;
        char c;
        int from, expected;
    } cases[] = {
        {"abc\"", '"', 3, -1},  // starts on the last character: never found
        {"abc\"", '"', 2, 3},
        {"abc\"", '"', -5, 3},
        {"abc\"", '"', 4, -1},
        {"x", 'x', 0, -1},
        {"", 'x', 0, -1},
        {CP932("表"), '\\', 0, -1},
        {CP932("ソソ"), '\\', 0, -1},
        {CP932("a表\\b"), '\\', 0, 3},
        {CP932("表a"), 'a', 0, 2},
        // From inside a two-byte character: the search starts after it.
        {CP932("表\\x"), '\\', 1, 2},
        {"\x95\x95\\x", '\\', 1, 2},
        {"\x95\x95\\x", '\\', 2, 2},
    };
    for (const Case& c : cases) {
        String s(c.text);
        EXPECT_EQ(s.FindChar(c.c, c.from), c.expected) << c.text << " from " << c.from;
    }
}

TEST(StringTest, FindTextOnlyAtCharacterStarts)
{
    struct Case {
        const char* text;
        const char* find;
        int from, expected;
    } cases[] = {
        {"a\\x", "\\x", 0, 1}, {CP932("ソx"), "\\x", 0, -1}, {CP932("表ソ.\\"), ".\\", 0, 4},
        {"ab", "b", 1, -1},    {"abab", "ab", 1, 2},         {"abc", "cd", 0, -1},
        {"abc", "", 0, 0},     {CP932("表x"), "\\x", 1, -1},
    };
    for (const Case& c : cases) {
        String s(c.text);
        EXPECT_EQ(s.FindText(c.find, c.from), c.expected) << c.text << " / " << c.find;
    }
    EXPECT_EQ(String("abc").FindText(nullptr), -1);
}

TEST(StringTest, FindLastCharAndFindFirstOf)
{
    EXPECT_EQ(String("a\\b\\c").FindLastChar('\\'), 3);
    EXPECT_EQ(String(CP932("a\\表")).FindLastChar('\\'), 1);
    EXPECT_EQ(String(CP932("表")).FindLastChar('\\'), -1);

    struct Case {
        const char* text;
        const char* set;
        int expected;
    } cases[] = {
        {CP932("表/x"), "\\/", 2}, {CP932("表ソ"), "\\", -1},         {CP932("ab表c"), CP932("表"), 2},
        {"a\\b", CP932("表"), -1}, {CP932("ソ表"), CP932("表ソ"), 0}, {"abc", "", -1},
        {"abc", "xc", 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(String(c.text).FindFirstOf(c.set), c.expected) << c.text;
}

TEST(StringTest, TrimRightAndTrimLeft)
{
    struct Case {
        const char* text;
        const char* set;
        const char* right;
        const char* left;
    } cases[] = {
        {"ab \t\n \n", " \t\n", "ab", "ab \t\n \n"},
        {" \t x ", " \t\n", " \t x", "x "},
        {"  ", " ", "", ""},
        {"", " ", "", ""},
        {CP932("a表"), "\\", CP932("a表"), CP932("a表")},
        {CP932("表表x表表"), CP932("表"), CP932("表表x"), CP932("x表表")},
        {CP932("\\表"), "\\", CP932("\\表"), CP932("表")},
        {CP932("ソ表ソ"), CP932("表ソ"), "", ""},
    };
    for (const Case& c : cases) {
        String right(c.text);
        right.TrimRight(c.set);
        EXPECT_STREQ(right.Text(), c.right) << c.text;
        EXPECT_EQ(right.Length(), static_cast<int>(std::strlen(c.right)));
        String left(c.text);
        left.TrimLeft(c.set);
        EXPECT_STREQ(left.Text(), c.left) << c.text;
        EXPECT_EQ(left.Length(), static_cast<int>(std::strlen(c.left)));
    }

    // TrimLeft moves the text; trimming everything gives the space back.
    String s(" \t x ");
    const char* before = s.Text();
    s.TrimLeft(" \t");
    EXPECT_EQ(s.Text(), before + 3);
    s.TrimLeft("x ");
    EXPECT_EQ(s.Room(), s.Capacity());
}

TEST(StringTest, ReplaceCharAndMakeLowerSkipTrailBytes)
{
    String s(CP932("ソ\\a\\"));
    EXPECT_EQ(s.ReplaceChar('\\', '/'), 2);
    EXPECT_STREQ(s.Text(), CP932("ソ/a/"));

    // "ア" is 83 41: its trail byte is an 'A'.
    String t(CP932("AアZ表"));
    t.MakeLower();
    EXPECT_STREQ(t.Text(), CP932("aアz表"));
}

TEST(StringTest, AssignAndCopyHaveValueSemantics)
{
    String a("hello");
    String b(a);
    String c;
    c = a;
    a.Append(" world");
    EXPECT_STREQ(b.Text(), "hello");
    EXPECT_STREQ(c.Text(), "hello");
    const String& same = c;  // self-assignment, through a name the compilers do not flag
    c = same;
    EXPECT_STREQ(c.Text(), "hello");

    a.EraseFront(3);
    a.Assign("xyz");
    EXPECT_EQ(a.Room(), a.Capacity());  // text back at the buffer's start
    EXPECT_STREQ(a.Text(), "xyz");

    a.AssignPrefix("abcdef", 4);
    EXPECT_STREQ(a.Text(), "abcd");
    a.AssignPrefix("ab", 10);
    EXPECT_STREQ(a.Text(), "ab");
    a.AssignPrefix("ab", -1);
    EXPECT_STREQ(a.Text(), "");

    String n(nullptr);
    EXPECT_STREQ(n.Text(), "");
    n.Append(nullptr);
    n.Assign(nullptr);
    EXPECT_STREQ(n.Text(), "");
}

TEST(StringTest, OwnTextAsSource)
{
    String s("0123456789");
    s.Assign(s.Text());
    s.AssignPrefix(s.Text(), 3);
    EXPECT_STREQ(s.Text(), "0123456789");

    // Appending its own text moves the buffer on the way.
    s.Append(s.Text());
    EXPECT_STREQ(s.Text(), "01234567890123456789");
    EXPECT_EQ(s.Capacity(), 32);
    s.EraseFront(10);
    s.Append(s.Text());
    s.Append(s.Text());
    EXPECT_STREQ(s.Text(), "0123456789012345678901234567890123456789");

    // A source elsewhere in the buffer is moved, not overwritten.
    String t("abcdef");
    t.Assign(t.Text() + 2);
    EXPECT_STREQ(t.Text(), "cdef");
    t.AssignPrefix(t.Text() + 1, 2);
    EXPECT_STREQ(t.Text(), "de");
}

TEST(StringTest, FailedGrowthLeavesStringUnchanged)
{
    String s("abcdef");
    s.EraseFront(2);
    const char* text = s.Text();

    EXPECT_EQ(s.GetBuffer(INT_MAX - 1), nullptr);
    EXPECT_EQ(s.GetBuffer(INT_MAX), nullptr);
    EXPECT_FALSE(s.Reserve(INT_MAX));
    EXPECT_FALSE(s.Reserve((1 << 30) + 1));
    EXPECT_FALSE(s.Reserve(1 << 30));  // plus the two bytes before the text

    EXPECT_EQ(s.Text(), text);
    EXPECT_STREQ(s.Text(), "cdef");
    EXPECT_EQ(s.Length(), 4);
    EXPECT_EQ(s.Capacity(), 16);
    EXPECT_EQ(s.Room(), 14);

    // Still fully usable afterwards.
    s.Append("gh");
    EXPECT_STREQ(s.Text(), "cdefgh");
}

}  // namespace
