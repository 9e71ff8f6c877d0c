#pragma once
// Mivo::ViewOfFile: one mapped byte range of a file-mapping object, held by
// shared pointer and unmapped when the last holder lets go. The system maps
// from an allocation-granularity boundary, so the view maps from the boundary
// at or below the requested offset and Data() points at the requested byte.

#include "platform/UniqueHandle.h"
#include "platform/Win32.h"

namespace Mivo {

class ViewOfFile {
public:
    // Maps length bytes from offset of the mapping object; on failure every
    // field is 0.
    ViewOfFile(HANDLE mapping, DWORD offset, DWORD length);

    const BYTE* Base() const { return static_cast<const BYTE*>(base.Get()); }  // address of the aligned mapping
    const BYTE* Data() const { return data; }                                  // the requested first byte
    DWORD Offset() const { return offset; }                                    // requested file offset
    DWORD Size() const { return size; }                                        // requested length

private:
    platform::UniqueView base;
    const BYTE* data = nullptr;
    DWORD offset = 0;
    DWORD size = 0;
};

}  // namespace Mivo
