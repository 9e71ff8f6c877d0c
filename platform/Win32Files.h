#pragma once
// Files, mappings, file search and file times (included by platform/Win32.h).

// ---- Types ---------------------------------------------------------------

using LPDWORD = DWORD*;
using SIZE_T = std::size_t;
using DWORD_PTR = std::uintptr_t;

// 100-nanosecond intervals since 1 January 1601 (UTC, or local time where a
// call says so).
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
using LPFILETIME = FILETIME*;

struct SYSTEM_INFO {
    WORD wProcessorArchitecture;
    WORD wReserved;
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    DWORD_PTR dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
};
using LPSYSTEM_INFO = SYSTEM_INFO*;

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAA = WIN32_FIND_DATAA*;

// Accepted and ignored: handles are never inherited.
struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// ---- Constants -------------------------------------------------------------

inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;

constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;

constexpr DWORD CREATE_NEW = 1;
constexpr DWORD OPEN_EXISTING = 3;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;

constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD FILE_MAP_READ = 0x0004;

constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_ADDRESS = 487;
constexpr DWORD ERROR_FILE_INVALID = 1006;
constexpr DWORD ERROR_MAPPED_ALIGNMENT = 1132;

// ---- Files -----------------------------------------------------------------

// Opens an existing regular file (OPEN_EXISTING), or creates a new empty one
// (CREATE_NEW: ERROR_FILE_EXISTS when the name is taken). Share mode 0 holds the file exclusively: any
// further open of it fails with ERROR_SHARING_VIOLATION, in this process too,
// until the handle and every mapping and view made from it are gone. A nonzero
// share mode lets other sharing opens in. Directories fail with
// ERROR_ACCESS_DENIED.
HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);

// Removes a file; ERROR_FILE_NOT_FOUND when there is none.
BOOL DeleteFileA(LPCSTR fileName);

// Low 32 bits of the size; the high word through sizeHigh when it is given.
// INVALID_FILE_SIZE on failure (and, with GetLastError() == 0, for a size whose
// low word happens to be 0xFFFFFFFF).
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);

// Closes any handle but a find handle. FALSE with ERROR_INVALID_HANDLE for
// null, INVALID_HANDLE_VALUE or anything that is not an open handle.
BOOL CloseHandle(HANDLE object);

// ---- Mappings --------------------------------------------------------------

// A read-only mapping object of a file opened for reading; a maximum size of
// 0/0 means the file's size. Fails with ERROR_FILE_INVALID on an empty file.
// Named mappings are not provided. Returns null on failure.
HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCSTR name);

// Maps length bytes from the offset (a multiple of the allocation granularity,
// else ERROR_MAPPED_ALIGNMENT); length 0 maps to the end. A range that does not
// lie inside the mapping and the file fails with ERROR_ACCESS_DENIED.
LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow, SIZE_T length);

// Takes the address MapViewOfFile returned; anything else fails.
BOOL UnmapViewOfFile(LPCVOID baseAddress);

// Allocation granularity 65536, as on Windows, so views align alike.
void GetSystemInfo(LPSYSTEM_INFO info);

// ---- File search -------------------------------------------------------------

// Finds the file or folder named by the path; '*' and '?' in its last
// component match names without regard to ASCII case, and the first match is
// reported. Returns a handle for FindClose, or INVALID_HANDLE_VALUE with
// ERROR_FILE_NOT_FOUND when nothing matches.
HANDLE FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData);
BOOL FindClose(HANDLE findFile);

// ---- File times --------------------------------------------------------------

// A DOS date and time to a FILETIME in the same (local) time; FALSE with
// ERROR_INVALID_PARAMETER for a date or time that does not exist.
BOOL DosDateTimeToFileTime(WORD fatDate, WORD fatTime, LPFILETIME fileTime);

// Local time to UTC by the time zone rules in force at that date.
BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, LPFILETIME fileTime);

// ---- Standard handles --------------------------------------------------------

constexpr DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);
constexpr DWORD STD_ERROR_HANDLE = static_cast<DWORD>(-12);

// The process's standard output or standard error; INVALID_HANDLE_VALUE with
// ERROR_INVALID_PARAMETER for any other number.
HANDLE GetStdHandle(DWORD stdHandle);

// Writes to a handle of GetStdHandle. What is written is program text, cp932,
// and comes out as UTF-8, as a terminal shows it; bytesWritten counts the
// cp932 bytes. FALSE with ERROR_INVALID_HANDLE for other handles.
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPVOID overlapped);
