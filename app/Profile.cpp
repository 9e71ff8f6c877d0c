#include "app/Profile.h"

#include "files/Paths.h"
#include "platform/Win32.h"

#include <cstdio>

namespace Mivo {

bool Profile::SetFileName(const char* path)
{
    fileName.Assign(path != nullptr ? path : "");
    MakeAbsolute(fileName);
    return true;
}

int Profile::GetInt(const char* section, const char* key, int defaultValue) const
{
    return static_cast<int>(GetPrivateProfileIntA(section, key, defaultValue, fileName.Text()));
}

bool Profile::WriteInt(const char* section, const char* key, int value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    if (WritePrivateProfileStringA(section, key, text, fileName.Text()))
        return true;
    // Only a read-only file is worth a second try.
    DWORD attributes = GetFileAttributesA(fileName.Text());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0)
        return false;
    SetFileAttributesA(fileName.Text(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return WritePrivateProfileStringA(section, key, text, fileName.Text()) != FALSE;
}

}  // namespace Mivo
