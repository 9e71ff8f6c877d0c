#pragma once
// Mivo::String: the program's text type. A mutable, growable, zero-terminated
// cp932 byte string with value semantics. Searches and trims walk whole cp932
// characters, so the trail byte of a two-byte character (which may be 0x5C,
// the path separator) is never taken for an ASCII character. Removing text
// from the front only moves the start of the text inside the buffer.

namespace Mivo {

// True for a cp932 lead byte (0x81-0x9F, 0xE0-0xFC).
constexpr bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

class String {
public:
    String();
    String(const char* s);
    String(const String& other);
    String& operator=(const String& other);
    ~String();

    // Storage. Reserve makes room for n bytes from the text's start (terminator
    // included) and returns false, changing nothing, when it cannot: out of
    // memory, or a buffer that would not fit a signed 32-bit size. Every
    // operation that grows the string leaves it unchanged when growth fails.
    bool Reserve(int n);
    char* GetBuffer(int n);  // room for n bytes and a terminator; null when out of memory
    void SetLength(int n);   // -1: up to the first zero byte; kept inside the buffer

    // Changing the text.
    void Clear();
    void Assign(const char* s);
    void AssignPrefix(const char* s, int n);
    void Append(const char* s);
    void AppendChar(char c);
    int EraseFront(int n);
    int Erase(int pos, int count);
    int Truncate(int pos);
    int ReplaceChar(char from, char to);
    void MakeLower();
    void TrimLeft(const char* set);
    void TrimRight(const char* set);

    // Searching: a byte index into the text, or -1. A search from inside a
    // two-byte character starts at the character after it.
    int FindChar(char c, int from = 0) const;
    int FindText(const char* s, int from = 0) const;
    int FindLastChar(char c) const;
    int FindFirstOf(const char* set) const;

    const char* Text() const;  // never null: "" before the first allocation
    int Length() const { return length; }
    bool IsEmpty() const { return length == 0; }
    int Capacity() const { return capacity; }
    int Room() const { return room; }

private:
    bool Grow(int needed);
    int SourceOffset(const char* s) const;
    void CopyIn(const char* s, int n);
    int LastCharStart() const;
    int CharStartFrom(int from) const;

    char* start = nullptr;  // owned buffer
    char* text = nullptr;   // first byte of the text, inside the buffer
    int capacity = 0;       // buffer size
    int room = 0;           // bytes from text to the end of the buffer
    int length = 0;         // text bytes, without the terminator
};

}  // namespace Mivo
