#pragma once
// cp932 <-> UTF-16 for the crossing to the wide Windows calls, by way of the
// same conversions the Linux build uses at its own crossing (platform/Text.h).

#include <string>
#include <string_view>

namespace platform {

// cp932 text to UTF-16; a code of the user-defined area that WideNameToCp932
// gave out turns back into what it stands for.
std::wstring Cp932ToWide(std::string_view cp932);

// A UTF-16 name from the system (a path, a file name) to cp932, every
// character kept: what cp932 lacks gets a code of its user-defined area.
std::string WideNameToCp932(std::wstring_view wide);

// UTF-16 text to cp932; what cp932 lacks becomes '?'.
std::string WideToCp932(std::wstring_view wide);

}  // namespace platform
