#include "files/ViewOfFile.h"

namespace Mivo {

ViewOfFile::ViewOfFile(HANDLE mapping, DWORD offset, DWORD length)
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const DWORD granularity = info.dwAllocationGranularity;
    const DWORD aligned = offset / granularity * granularity;
    const DWORD delta = offset - aligned;
    // Widened so that a length near 4 GB cannot wrap around to a short view.
    const SIZE_T mapped = SIZE_T{length} + delta;
    base.Reset(MapViewOfFile(mapping, FILE_MAP_READ, 0, aligned, mapped));
    if (!base)
        return;
    data = Base() + delta;
    this->offset = offset;
    size = length;
}

}  // namespace Mivo
