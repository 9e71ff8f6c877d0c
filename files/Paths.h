#pragma once
// Path functions shared by the program. Paths are Windows paths in cp932:
// '\' separates components ('/' too where a function says so) and paths
// compare without regard to case.

#include "files/String.h"
#include "platform/Win32.h"

namespace Mivo {

// True when the first byte is not 0 and the second is ':'.
bool IsDrivePath(const char* path);
// True for a non-empty path that starts with two '\' or has ':' as its second byte.
bool IsAbsolutePath(const char* path);

void GetModulePath(HMODULE module, String& out);
void GetCurrentDir(String& out);
void AppendPath(String& path, const char* name);
bool MakeAbsolute(String& path);
bool RemoveExtension(String& path);
int CountComponents(const char* path);
int RemoveLastComponents(String& path, int n);
bool SetCurrentDirFromModule(const char* path);
void TrimSeparators(String& path);
int ComparePath(const char* a, const char* b);
bool NormalizePath(const char* name, String& out);

// True when this process can make a new file in folder: one is made there
// and removed again.
bool CanWriteFolder(const char* folder);

// The share mode for reading a data file: exclusive, as the program holds its
// data, unless the file lies in a folder this process cannot write. Such a
// copy is installed for everyone who may run it, and each of them must be
// able to read its data.
DWORD DataShareMode(const char* path);

}  // namespace Mivo
