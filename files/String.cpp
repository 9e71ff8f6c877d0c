#include "files/String.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace Mivo {

namespace {

// The largest buffer: doubling once more would not fit a signed 32-bit size.
constexpr int MaxCapacity = 1 << 30;
constexpr int FirstCapacity = 16;

// Bytes of the cp932 character at p: 2 for a lead byte and its trail byte, 1
// otherwise, 0 for a lead byte followed by a zero (the scan ends there, so
// nothing past a terminator is read).
int CharBytes(const char* p)
{
    if (!IsLeadByte(static_cast<unsigned char>(p[0])))
        return 1;
    return p[1] != 0 ? 2 : 0;
}

// A one-byte character belongs to the set when it equals one of the set's
// one-byte characters, a two-byte character when it equals one of its two-byte
// characters.
bool InSet(const char* ch, int bytes, const char* set)
{
    for (const char* p = set; *p != 0;) {
        int n = CharBytes(p);
        if (n == 0)
            break;
        if (n == bytes && std::memcmp(p, ch, n) == 0)
            return true;
        p += n;
    }
    return false;
}

}  // namespace

String::String()
{
    Reserve(FirstCapacity);
}

String::String(const char* s)
{
    Assign(s);
}

String::String(const String& other)
{
    Assign(other.Text());
}

String& String::operator=(const String& other)
{
    if (this == &other)
        return *this;
    Assign(other.Text());
    return *this;
}

String::~String()
{
    std::free(start);
}

bool String::Reserve(int n)
{
    if (room >= n)
        return true;
    if (start == nullptr) {
        if (n > MaxCapacity)
            return false;
        int size = FirstCapacity;
        while (size < n)
            size *= 2;
        char* buffer = static_cast<char*>(std::malloc(size));
        if (buffer == nullptr)
            return false;
        start = text = buffer;
        text[0] = 0;
        length = 0;
        capacity = room = size;
        return true;
    }
    int offset = static_cast<int>(text - start);
    if (n > INT_MAX - offset)
        return false;
    return Grow(n + offset);
}

// Doubles the buffer until it holds `needed` bytes. The text keeps its offset:
// the space before it is not reclaimed here.
bool String::Grow(int needed)
{
    if (needed > MaxCapacity)
        return false;
    int size = capacity;
    while (size < needed)
        size *= 2;
    if (size == capacity)
        return true;
    char* buffer = static_cast<char*>(std::realloc(start, size));
    if (buffer == nullptr)
        return false;
    int offset = static_cast<int>(text - start);
    start = buffer;
    text = buffer + offset;
    capacity = size;
    room = size - offset;
    return true;
}

char* String::GetBuffer(int n)
{
    if (n < 0)
        n = 0;
    if (n >= MaxCapacity || !Reserve(n + 1))
        return nullptr;
    return text;
}

void String::SetLength(int n)
{
    if (start == nullptr)
        return;
    if (n < 0) {
        // A caller that wrote no terminator gets one at the end of the buffer.
        length = static_cast<int>(strnlen(text, room));
        if (length == room)
            length = room - 1;
    } else {
        length = n < room ? n : room - 1;
    }
    text[length] = 0;
}

// Offset of s inside the buffer, or -1 when s lies elsewhere.
int String::SourceOffset(const char* s) const
{
    if (start == nullptr)
        return -1;
    auto p = reinterpret_cast<std::uintptr_t>(s);
    auto b = reinterpret_cast<std::uintptr_t>(start);
    if (p < b || p >= b + static_cast<std::uintptr_t>(capacity))
        return -1;
    return static_cast<int>(p - b);
}

void String::Clear()
{
    if (start == nullptr)
        return;
    text = start;
    text[0] = 0;
    length = 0;
    room = capacity;
}

// Replaces the text by the n bytes at s, growing first so that a failure
// leaves the old text. A source inside the buffer is moved, not lost.
void String::CopyIn(const char* s, int n)
{
    int offset = SourceOffset(s);
    if (start == nullptr) {
        if (!Reserve(n + 1))
            return;
    } else if (capacity < n + 1 && !Grow(n + 1)) {
        return;
    }
    if (offset >= 0)
        s = start + offset;
    std::memmove(start, s, n);
    text = start;
    room = capacity;
    length = n;
    text[length] = 0;
}

void String::Assign(const char* s)
{
    if (s == nullptr)
        s = "";
    if (s == text)
        return;
    int offset = SourceOffset(s);
    size_t n = offset >= 0 ? strnlen(s, capacity - offset) : std::strlen(s);
    if (n >= static_cast<size_t>(MaxCapacity))
        return;
    CopyIn(s, static_cast<int>(n));
}

void String::AssignPrefix(const char* s, int n)
{
    if (s == nullptr)
        s = "";
    if (s == text)
        return;
    if (n < 0)
        n = 0;
    int offset = SourceOffset(s);
    if (offset >= 0 && n > capacity - offset)
        n = capacity - offset;
    size_t count = strnlen(s, n);
    if (count >= static_cast<size_t>(MaxCapacity))
        return;
    CopyIn(s, static_cast<int>(count));
}

void String::Append(const char* s)
{
    if (s == nullptr)
        return;
    // The source may be this string's own text: remember where it lies, since
    // growing may move the buffer.
    int offset = SourceOffset(s);
    size_t n = offset >= 0 ? strnlen(s, capacity - offset) : std::strlen(s);
    if (n >= static_cast<size_t>(MaxCapacity - length))
        return;
    if (!Reserve(length + static_cast<int>(n) + 1))
        return;
    if (offset >= 0)
        s = start + offset;
    std::memmove(text + length, s, n);
    length += static_cast<int>(n);
    text[length] = 0;
}

void String::AppendChar(char c)
{
    if (length + 1 >= room && !Reserve(length + 2))
        return;
    text[length++] = c;
    text[length] = 0;
}

int String::EraseFront(int n)
{
    if (n <= 0)
        return length;
    if (n < length) {
        text += n;
        room -= n;
        length -= n;
    } else {
        Clear();
    }
    return length;
}

int String::Erase(int pos, int count)
{
    if (count <= 0 || pos < 0)
        return length;
    if (pos == 0)
        return EraseFront(count);
    if (count >= length - pos) {
        if (pos < length) {
            length = pos;
            text[length] = 0;
        }
        return length;
    }
    std::memmove(text + pos, text + pos + count, length - pos - count + 1);
    length -= count;
    return length;
}

int String::Truncate(int pos)
{
    if (pos >= 0 && pos < length) {
        length = pos;
        text[length] = 0;
    }
    return length;
}

int String::ReplaceChar(char from, char to)
{
    int replaced = 0;
    for (int i = 0; i < length;) {
        int n = CharBytes(text + i);
        if (n == 0)
            break;
        if (n == 1 && text[i] == from) {
            text[i] = to;
            ++replaced;
        }
        i += n;
    }
    return replaced;
}

void String::MakeLower()
{
    for (int i = 0; i < length;) {
        int n = CharBytes(text + i);
        if (n == 0)
            break;
        if (n == 1 && text[i] >= 'A' && text[i] <= 'Z')
            text[i] = static_cast<char>(text[i] - 'A' + 'a');
        i += n;
    }
}

void String::TrimLeft(const char* set)
{
    if (set == nullptr)
        return;
    int i = 0;
    while (i < length) {
        int n = CharBytes(text + i);
        if (n == 0 || !InSet(text + i, n, set))
            break;
        i += n;
    }
    if (i >= length)
        Clear();
    else
        EraseFront(i);
}

// Start of the text's last character; a cp932 text can only be walked forward.
int String::LastCharStart() const
{
    int last = -1;
    for (int i = 0; i < length;) {
        last = i;
        int n = CharBytes(text + i);
        if (n == 0)
            break;
        i += n;
    }
    return last;
}

void String::TrimRight(const char* set)
{
    if (set == nullptr)
        return;
    while (length > 0) {
        int last = LastCharStart();
        if (!InSet(text + last, length - last, set))
            break;
        Truncate(last);
    }
}

// The first character start at or after from. Bytes in the lead-byte range
// directly before from pair up from the last byte that cannot lead, so an odd
// run means from is the trail byte of a character: its end is the start.
int String::CharStartFrom(int from) const
{
    if (from <= 0)
        return 0;
    int run = from;
    while (run > 0 && IsLeadByte(static_cast<unsigned char>(text[run - 1])))
        --run;
    return (from - run) % 2 == 0 ? from : from + 1;
}

int String::FindChar(char c, int from) const
{
    // A search that starts on the last character never finds it.
    if (from >= length - 1)
        return -1;
    for (int i = CharStartFrom(from); i < length && text[i] != 0;) {
        int n = CharBytes(text + i);
        if (n == 0)
            break;
        if (n == 1 && text[i] == c)
            return i;
        i += n;
    }
    return -1;
}

int String::FindText(const char* s, int from) const
{
    if (s == nullptr || from >= length - 1)
        return -1;
    size_t n = std::strlen(s);
    for (int i = CharStartFrom(from); i < length && text[i] != 0;) {
        if (std::strncmp(text + i, s, n) == 0)
            return i;
        int step = CharBytes(text + i);
        if (step == 0)
            break;
        i += step;
    }
    return -1;
}

int String::FindLastChar(char c) const
{
    int found = -1;
    for (int i = 0; i < length && text[i] != 0;) {
        int n = CharBytes(text + i);
        if (n == 0)
            break;
        if (n == 1 && text[i] == c)
            found = i;
        i += n;
    }
    return found;
}

int String::FindFirstOf(const char* set) const
{
    if (set == nullptr)
        return -1;
    for (int i = 0; i < length && text[i] != 0;) {
        int n = CharBytes(text + i);
        if (n == 0)
            break;
        if (InSet(text + i, n, set))
            return i;
        i += n;
    }
    return -1;
}

const char* String::Text() const
{
    return text != nullptr ? text : "";
}

}  // namespace Mivo
