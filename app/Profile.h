#pragma once
// Mivo::Profile: integer values in a private-profile (.ini) file, through the
// Windows profile calls, writing also to a file that was made read-only.

#include "files/String.h"

namespace Mivo {

class Profile {
public:
    Profile() = default;
    virtual ~Profile() = default;

    // Stores the path, made absolute against the current directory. Always true.
    bool SetFileName(const char* path);
    const String& FileName() const { return fileName; }

    // The number in the file, or defaultValue when the file or the key is missing.
    int GetInt(const char* section, const char* key, int defaultValue) const;

    // True when the value was written. A read-only file is made writable (and
    // left so) and written.
    bool WriteInt(const char* section, const char* key, int value);

private:
    String fileName;
};

}  // namespace Mivo
