#pragma once
// Windows paths onto the Unix tree. The Unix tree is drive Z:
// ("/home/ann/x" is "Z:\home\ann\x"); relative paths stay relative with '\'
// turned into '/'; other drives and "\\server" paths do not exist.
// File names match without regard to ASCII case, as on Windows.

#include <string>

namespace platform {

// Maps a cp932 Windows path to a UTF-8 Unix path. Where the exact name does not
// exist, each component is looked up case-insensitively (ASCII) in its folder.
// Returns false and sets ERROR_PATH_NOT_FOUND for another drive, a UNC path or
// an empty path.
bool ToUnixPath(const char* windowsPath, std::string& unixPath);

// Maps an absolute UTF-8 Unix path to its cp932 Windows path on drive Z:.
std::string ToWindowsPath(const std::string& unixPath);

}  // namespace platform
