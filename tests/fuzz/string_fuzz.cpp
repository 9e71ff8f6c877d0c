// The text type and the path functions. The input is a script of edits and
// searches on one String, each checked against a plain byte string and a
// naive walk of its cp932 characters from the first byte. The script may also
// take the text as a path beside another: comparison is an order that ignores
// ASCII case, and normalising twice gives what normalising once gave.

#include "files/Paths.h"
#include "files/String.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Reads the script: bytes, numbers and short texts, zero when it runs out.
class Script {
public:
    Script(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}
    bool Done() const { return pos >= size; }
    std::uint8_t Byte() { return pos < size ? data[pos++] : 0; }
    // A byte that is never zero, so that the text never holds one.
    char Char() { return static_cast<char>(std::max<std::uint8_t>(Byte(), 1)); }
    int Number() { return static_cast<int>(Byte()) - 8; }  // a few below zero too
    std::string Text()
    {
        std::string text;
        for (int n = Byte() % 32; n > 0 && !Done(); --n)
            text += Char();
        return text;
    }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;
};

bool Lead(char c)
{
    return Mivo::IsLeadByte(static_cast<unsigned char>(c));
}

// Where the text's characters start, walking from the first byte; a lead
// byte on the last byte is no character, and its place is returned apart.
std::vector<int> Starts(const std::string& text, int& loneLead)
{
    std::vector<int> starts;
    loneLead = -1;
    for (int i = 0; i < static_cast<int>(text.size());) {
        if (!Lead(text[i])) {
            starts.push_back(i++);
        } else if (i + 1 < static_cast<int>(text.size())) {
            starts.push_back(i);
            i += 2;
        } else {
            loneLead = i;
            break;
        }
    }
    return starts;
}

std::vector<int> Starts(const std::string& text)
{
    int loneLead;
    return Starts(text, loneLead);
}

int Bytes(const std::string& text, int start)
{
    return Lead(text[start]) ? 2 : 1;
}

// The set's characters, walked as the text is; a lead byte at its end is none.
bool InSet(const std::string& text, int start, const std::string& set)
{
    const std::string ch = text.substr(start, Bytes(text, start));
    for (int i : Starts(set))
        if (set.substr(i, Bytes(set, i)) == ch)
            return true;
    return false;
}

int FindChar(const std::string& text, char c, int from)
{
    if (from >= static_cast<int>(text.size()) - 1)
        return -1;
    for (int i : Starts(text))
        if (i >= from && !Lead(text[i]) && text[i] == c)
            return i;
    return -1;
}

int FindText(const std::string& text, const std::string& find, int from)
{
    if (from >= static_cast<int>(text.size()) - 1)
        return -1;
    int loneLead;
    std::vector<int> tried = Starts(text, loneLead);
    if (loneLead >= 0)
        tried.push_back(loneLead);  // compared before the walk stops there
    for (int i : tried)
        if (i >= from && text.compare(i, find.size(), find) == 0)
            return i;
    return -1;
}

std::string Lower(const std::string& text)
{
    std::string lower = text;
    for (int i : Starts(text))
        if (text[i] >= 'A' && text[i] <= 'Z')
            lower[i] = static_cast<char>(text[i] - 'A' + 'a');
    return lower;
}

std::string WithoutEndSeparator(const std::string& path)
{
    const std::vector<int> starts = Starts(path);
    if (!starts.empty() && starts.back() == static_cast<int>(path.size()) - 1 && path.back() == '\\')
        return path.substr(0, path.size() - 1);
    return path;
}

void CheckSame(const Mivo::String& s, const std::string& model)
{
    STRUMKEY_CHECK(s.Length() == static_cast<int>(model.size()));
    STRUMKEY_CHECK(std::memcmp(s.Text(), model.c_str(), model.size() + 1) == 0);
}

void CheckAsPath(const std::string& a, const std::string& b)
{
    const int ab = Mivo::ComparePath(a.c_str(), b.c_str());
    const int ba = Mivo::ComparePath(b.c_str(), a.c_str());
    STRUMKEY_CHECK((ab < 0) == (ba > 0) && (ab == 0) == (ba == 0));
    STRUMKEY_CHECK(Mivo::ComparePath(a.c_str(), a.c_str()) == 0);
    STRUMKEY_CHECK(Mivo::ComparePath(a.c_str(), Lower(a).c_str()) == 0);
    // Equal paths are the same characters but for ASCII case.
    if (ab == 0)
        STRUMKEY_CHECK(Lower(a) == Lower(b) || Starts(a) == Starts(b));

    // Normalising again changes nothing but a separator at the end, which an
    // empty folder name before a dropped "." leaves.
    Mivo::String once;
    if (!Mivo::NormalizePath(a.c_str(), once))
        return;
    Mivo::String twice;
    STRUMKEY_CHECK(Mivo::NormalizePath(once.Text(), twice));
    STRUMKEY_CHECK(WithoutEndSeparator(once.Text()) == WithoutEndSeparator(twice.Text()));
}

void RunScript(Script& script, Mivo::String& s, std::string& m)
{
    for (int step = 0; step < 64 && !script.Done(); ++step) {
        switch (script.Byte() % 16) {
        case 0: {
            const std::string t = script.Text();
            s.Assign(t.c_str());
            m = t;
            break;
        }
        case 1: {
            const std::string t = script.Text();
            s.Append(t.c_str());
            m += t;
            break;
        }
        case 2: {
            const char c = script.Char();
            s.AppendChar(c);
            m += c;
            break;
        }
        case 3: {
            const int n = script.Number();
            STRUMKEY_CHECK(s.EraseFront(n) ==
                           static_cast<int>(m.size()) - std::clamp(n, 0, static_cast<int>(m.size())));
            m.erase(0, std::clamp(n, 0, static_cast<int>(m.size())));
            break;
        }
        case 4: {
            const int pos = script.Number();
            const int count = script.Number();
            s.Erase(pos, count);
            if (pos >= 0 && count > 0 && pos < static_cast<int>(m.size()))
                m.erase(pos, count);
            break;
        }
        case 5: {
            const int pos = script.Number();
            s.Truncate(pos);
            if (pos >= 0 && pos < static_cast<int>(m.size()))
                m.resize(pos);
            break;
        }
        case 6: {
            const char from = script.Char();
            const char to = script.Char();
            int replaced = 0;
            for (int i : Starts(m))
                if (!Lead(m[i]) && m[i] == from) {
                    m[i] = to;
                    ++replaced;
                }
            STRUMKEY_CHECK(s.ReplaceChar(from, to) == replaced);
            break;
        }
        case 7:
            s.MakeLower();
            m = Lower(m);
            break;
        case 8: {
            const std::string set = script.Text();
            s.TrimLeft(set.c_str());
            std::size_t front = 0;
            for (int i : Starts(m)) {
                if (!InSet(m, i, set))
                    break;
                front = static_cast<std::size_t>(i) + static_cast<std::size_t>(Bytes(m, i));
            }
            m.erase(0, front);
            break;
        }
        case 9: {
            const std::string set = script.Text();
            s.TrimRight(set.c_str());
            for (;;) {
                int loneLead;
                const std::vector<int> starts = Starts(m, loneLead);
                if (loneLead >= 0 || starts.empty() || !InSet(m, starts.back(), set))
                    break;
                m.resize(starts.back());
            }
            break;
        }
        case 10: {
            const char c = script.Char();
            const int from = script.Number();
            STRUMKEY_CHECK(s.FindChar(c, from) == FindChar(m, c, from));
            break;
        }
        case 11: {
            const std::string t = script.Text();
            const int from = script.Number();
            STRUMKEY_CHECK(s.FindText(t.c_str(), from) == FindText(m, t, from));
            break;
        }
        case 12: {
            const char c = script.Char();
            int last = -1;
            for (int i : Starts(m))
                if (!Lead(m[i]) && m[i] == c)
                    last = i;
            STRUMKEY_CHECK(s.FindLastChar(c) == last);
            break;
        }
        case 13: {
            const std::string set = script.Text();
            int first = -1;
            for (int i : Starts(m))
                if (InSet(m, i, set)) {
                    first = i;
                    break;
                }
            STRUMKEY_CHECK(s.FindFirstOf(set.c_str()) == first);
            break;
        }
        case 15:
            CheckAsPath(m, script.Text());
            break;
        default: {
            // The string's own text as the source, whole or from inside; the
            // text doubles at most up to a few thousand bytes.
            const int from = std::clamp(script.Number(), 0, static_cast<int>(m.size()));
            if (script.Byte() % 2 == 0 && m.size() < 4096) {
                s.Append(s.Text() + from);
                m += m.substr(from);
            } else {
                s.Assign(s.Text() + from);
                m = m.substr(from);
            }
            break;
        }
        }
        CheckSame(s, m);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Script script(data, size);
    Mivo::String s;
    std::string m;
    RunScript(script, s, m);
    return 0;
}
