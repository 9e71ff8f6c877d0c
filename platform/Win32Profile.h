#pragma once
// Private-profile (.ini) files and file attributes (included by platform/Win32.h).
//
// The file name is a Windows path (drive Z: is the Unix tree; names match
// without regard to ASCII case). A relative name is taken relative to the
// current directory; Windows would look for a bare name in its own folder, but
// the program always passes an absolute path.
//
// File format, as Windows reads it: "[section]" lines start sections, "key=value"
// lines belong to the section above them (lines before the first section belong
// to none); a line without '=' is a key with an empty value; lines whose first
// non-blank character is ';' are comments. Blanks around names, '=' and values
// are ignored, section and key names match without regard to case, the first
// matching section and the first matching key in it win. CR, LF and CRLF all end
// lines. A UTF-8 byte order mark at the start of the file is skipped.

// ---- Constants -------------------------------------------------------------

constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

constexpr DWORD ERROR_DISK_FULL = 112;

// ---- Private profiles ------------------------------------------------------

// The key's value as an integer, read as Windows does: leading blanks, one
// optional sign, then decimal digits up to the first other character, wrapping
// modulo 2^32 ("-1" gives 0xFFFFFFFF, "12abc" 12, "0x10" 0, "abc" 0). A value in
// a pair of matching quotes ("..." or '...') is read without them. The default
// (as UINT) when the file, the section or the key is missing or the value is
// empty, and when a name is null.
UINT GetPrivateProfileIntA(LPCSTR appName, LPCSTR keyName, INT defaultValue, LPCSTR fileName);

// Sets the key's value. An existing key that already holds the value (blanks
// around it aside) is left as it is; otherwise its line is rewritten as
// "key=value" (its indentation, the key's spelling in the file and its line
// end are kept);
// a new key goes on a line after the last key of its section (right after the
// section line when the section has none); a new section goes at the end of the
// file, as "[section]" followed by "key=value". Inserted lines end the way the
// file's first line does, CRLF in a new file or one without any line end. Every
// other byte of the file stays as it was; a missing file is created (its folder
// must exist).
//
// A null value deletes the key's line; a null key deletes the whole section,
// from its section line up to the next section line. Deleting what is not there
// succeeds and leaves the file alone. All three names null asks Windows to
// flush its cache: nothing is cached here, and the result is FALSE as there.
//
// Fails with ERROR_ACCESS_DENIED on a read-only file (no write bit) or a folder,
// with ERROR_INVALID_PARAMETER for a null section with a key or value, or for a
// name or value that would change the file's structure (a line break anywhere,
// '=' in a key or a key starting with ';' or '['). The new contents go to a
// temporary file in the same folder, which is flushed to disk and then renamed
// over the old one (with the old file's permissions): a failed write leaves the
// old file exactly as it was and no temporary file behind.
BOOL WritePrivateProfileStringA(LPCSTR appName, LPCSTR keyName, LPCSTR string, LPCSTR fileName);

// ---- File attributes -------------------------------------------------------

// FILE_ATTRIBUTE_DIRECTORY for a folder, FILE_ATTRIBUTE_READONLY when no write
// bit is set in the file's mode, FILE_ATTRIBUTE_NORMAL when neither applies;
// INVALID_FILE_ATTRIBUTES when the file cannot be found.
DWORD GetFileAttributesA(LPCSTR fileName);

// Only FILE_ATTRIBUTE_READONLY has an effect: setting it removes every write
// bit, clearing it adds the owner's write bit (a file that already has a write
// bit is left alone). Other attribute bits are accepted and ignored.
BOOL SetFileAttributesA(LPCSTR fileName, DWORD attributes);
