#include "platform/Text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform {
namespace {

#ifdef _WIN32
// Windows has no iconv: one character goes through the system's own code page
// 932 and UTF-16. Converts only between "CP932" and "UTF-8".
class Iconv {
public:
    Iconv(const char* to, const char*) : toCp932(std::string_view(to) == "CP932") {}

    // Converts one whole character; returns the number of bytes written to out,
    // or 0 when the character has no mapping.
    std::size_t ConvertOne(const char* in, std::size_t inSize, char* out, std::size_t outSize)
    {
        wchar_t wide[2];
        const int units =
            MultiByteToWideChar(toCp932 ? CP_UTF8 : 932, MB_ERR_INVALID_CHARS, in, static_cast<int>(inSize), wide, 2);
        if (units == 0)
            return 0;
        BOOL defaulted = FALSE;  // code page 932 only: UTF-8 refuses the flag
        const int written =
            WideCharToMultiByte(toCp932 ? 932 : CP_UTF8, toCp932 ? WC_NO_BEST_FIT_CHARS : 0, wide, units, out,
                                static_cast<int>(outSize), nullptr, toCp932 ? &defaulted : nullptr);
        return defaulted ? 0 : static_cast<std::size_t>(written);
    }

private:
    bool toCp932;
};
#else
// One iconv conversion descriptor. Each conversion opens its own: an iconv_t
// must not be shared between threads, and a cached one would be gone while
// static objects still convert names at process exit.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd(iconv_open(to, from)) {}
    ~Iconv()
    {
        if (cd != Invalid())
            iconv_close(cd);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts one whole character; returns the number of bytes written to out,
    // or 0 when the character has no mapping (or the descriptor failed to open).
    std::size_t ConvertOne(const char* in, std::size_t inSize, char* out, std::size_t outSize)
    {
        if (cd == Invalid())
            return 0;
        char* inPtr = const_cast<char*>(in);  // iconv never writes through it
        char* outPtr = out;
        std::size_t inLeft = inSize;
        std::size_t outLeft = outSize;
        std::size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        if (result == static_cast<std::size_t>(-1) || inLeft != 0) {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
            return 0;
        }
        return outSize - outLeft;
    }

private:
    static iconv_t Invalid() { return reinterpret_cast<iconv_t>(-1); }
    iconv_t cd;
};
#endif

constexpr char ReplacementUtf8[] = "\xEF\xBF\xBD";  // U+FFFD

bool IsTrailByte(unsigned char c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}
bool IsContinuation(unsigned char c)
{
    return (c & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 character at s (1 to 4), or, when it is
// ill-formed, minus the length of its longest well-formed prefix (at least 1),
// so that a truncated sequence is replaced by a single character.
int Utf8CharLength(const unsigned char* s, std::size_t left)
{
    unsigned char c = s[0];
    if (c < 0x80)
        return 1;
    int need;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        need = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
        need = 2;
        if (c == 0xE0)
            low = 0xA0;
        if (c == 0xED)
            high = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        need = 3;
        if (c == 0xF0)
            low = 0x90;
        if (c == 0xF4)
            high = 0x8F;
    } else {
        return -1;
    }
    int have = 1;
    for (int i = 1; i <= need; ++i) {
        if (static_cast<std::size_t>(i) >= left)
            return -have;
        unsigned char b = s[i];
        bool ok = (i == 1) ? (b >= low && b <= high) : IsContinuation(b);
        if (!ok)
            return -have;
        ++have;
    }
    return have;
}

// The codes of cp932's user-defined area (lead 0xF0 to 0xF9, each with the
// 188 trail bytes 0x40-0x7E and 0x80-0xFC) given out to what names hold and
// cp932 lacks: a UTF-8 character, or one byte that is not valid UTF-8.
class UserAreaCodes {
public:
    static constexpr int Count = 10 * 188;

    // The code standing for text, given out on its first use; false once
    // every code is taken.
    bool CodeFor(std::string_view text, char code[2])
    {
        std::lock_guard guard(lock);
        auto it = byText.find(std::string(text));
        int ordinal;
        if (it != byText.end()) {
            ordinal = it->second;
        } else {
            if (byOrdinal.size() == Count)
                return false;
            ordinal = static_cast<int>(byOrdinal.size());
            byOrdinal.emplace_back(text);
            byText.emplace(text, ordinal);
        }
        const int trail = ordinal % 188;
        code[0] = static_cast<char>(0xF0 + ordinal / 188);
        code[1] = static_cast<char>(trail < 63 ? 0x40 + trail : 0x80 + trail - 63);
        return true;
    }

    // Appends what the code lead, trail stands for; false when it was never
    // given out.
    bool AppendText(unsigned char lead, unsigned char trail, std::string& out)
    {
        if (lead < 0xF0 || lead > 0xF9 || trail < 0x40 || trail == 0x7F || trail > 0xFC)
            return false;
        const std::size_t ordinal = (lead - 0xF0) * 188u + (trail < 0x80 ? trail - 0x40u : trail - 0x80u + 63u);
        std::lock_guard guard(lock);
        if (ordinal >= byOrdinal.size())
            return false;
        out += byOrdinal[ordinal];
        return true;
    }

private:
    std::mutex lock;
    std::vector<std::string> byOrdinal;
    std::unordered_map<std::string, int> byText;
};

// Never destroyed: static objects still convert names at process exit.
UserAreaCodes& Codes()
{
    static UserAreaCodes* codes = new UserAreaCodes;
    return *codes;
}

bool IsUserAreaLead(unsigned char c)
{
    return c >= 0xF0 && c <= 0xF9;
}

bool IsAscii(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932)
{
    if (IsAscii(cp932))
        return std::string(cp932);
    Iconv converter("UTF-8", "CP932");
    std::string out;
    out.reserve(cp932.size());
    const auto* s = reinterpret_cast<const unsigned char*>(cp932.data());
    std::size_t n = cp932.size();
    for (std::size_t i = 0; i < n;) {
        unsigned char c = s[i];
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        }
        // A lead byte takes its trail byte with it, even when the pair has no
        // mapping, so a trail byte 0x5C never turns into a backslash.
        std::size_t len = (IsCp932LeadByte(c) && i + 1 < n && IsTrailByte(s[i + 1])) ? 2 : 1;
        if (len == 2 && IsUserAreaLead(c) && Codes().AppendText(c, s[i + 1], out)) {
            i += 2;
            continue;
        }
        char buffer[8];
        std::size_t written = converter.ConvertOne(reinterpret_cast<const char*>(s + i), len, buffer, sizeof buffer);
        if (written == 0)
            out += ReplacementUtf8;
        else
            out.append(buffer, written);
        i += len;
    }
    return out;
}

namespace {

// Appends the code for text (a UTF-8 character or a stray byte) when names
// may take codes of the user-defined area, else '?'.
void AppendUnmappable(std::string_view text, bool isName, std::string& out)
{
    char code[2];
    if (isName && Codes().CodeFor(text, code))
        out.append(code, 2);
    else
        out += '?';
}

std::string Utf8ToCp932(std::string_view utf8, bool isName)
{
    if (IsAscii(utf8))
        return std::string(utf8);
    Iconv converter("CP932", "UTF-8");
    std::string out;
    out.reserve(utf8.size());
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    std::size_t n = utf8.size();
    for (std::size_t i = 0; i < n;) {
        int len = Utf8CharLength(s + i, n - i);
        if (len < 0) {
            // A name keeps every stray byte; a text shows one '?' for them all.
            const std::size_t bad = static_cast<std::size_t>(-len);
            for (std::size_t b = 0; b < (isName ? bad : 1); ++b)
                AppendUnmappable(utf8.substr(i + b, 1), isName, out);
            i += bad;
            continue;
        }
        if (len == 1) {
            out += static_cast<char>(s[i]);
            ++i;
            continue;
        }
        const std::string_view character = utf8.substr(i, static_cast<std::size_t>(len));
        char buffer[8] = {};
        std::size_t written = converter.ConvertOne(character.data(), character.size(), buffer, sizeof buffer);
        // A non-ASCII character must never come out as an ASCII byte: iconv
        // maps U+00A5 to 0x5C, which would be read as a path separator. A
        // name's own character must not come out in the user-defined area
        // either, where it could be taken for a code given out here.
        const auto first = static_cast<unsigned char>(buffer[0]);
        if (written == 0 || (written == 1 && first < 0x80) || (isName && written == 2 && IsUserAreaLead(first)))
            AppendUnmappable(character, isName, out);
        else
            out.append(buffer, written);
        i += static_cast<std::size_t>(len);
    }
    return out;
}

}  // namespace

std::string Utf8ToCp932(std::string_view utf8)
{
    return Utf8ToCp932(utf8, false);
}

std::string Utf8NameToCp932(std::string_view utf8)
{
    return Utf8ToCp932(utf8, true);
}

}  // namespace platform
