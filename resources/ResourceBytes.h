#pragma once
// Little-endian numbers appended to resource data, as resource compilers
// write them.

#include "platform/Win32.h"

#include <vector>

namespace resource_bytes {

inline void Word(std::vector<BYTE>& out, WORD value)
{
    out.push_back(static_cast<BYTE>(value));
    out.push_back(static_cast<BYTE>(value >> 8));
}

inline void Dword(std::vector<BYTE>& out, DWORD value)
{
    Word(out, static_cast<WORD>(value));
    Word(out, static_cast<WORD>(value >> 16));
}

}  // namespace resource_bytes
