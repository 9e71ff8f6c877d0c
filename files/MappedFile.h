#pragma once
// Mivo::MappedFile: a disk file opened read-only (held exclusively, unless its
// folder cannot be written: see DataShareMode) and mapped whole at once: a
// FileMapping and one view of all of it. An empty file opens with size 0 and
// no view.

#include "files/FileMapping.h"
#include "files/ViewOfFile.h"
#include "platform/Win32.h"

#include <memory>

namespace Mivo {

class MappedFile {
public:
    // Closes what is held, then opens and maps the file (a cp932 Windows path,
    // relative paths against the current directory). On failure what was
    // obtained stays until the next Open or Close.
    bool Open(const char* path);
    void Close();

    // First byte of the file; null when nothing is mapped or the file is empty.
    const BYTE* Base() const { return view ? view->Data() : nullptr; }
    DWORD Size() const { return mapping.Size(); }

private:
    FileMapping mapping;
    std::shared_ptr<ViewOfFile> view;  // unmapped before the mapping closes
};

}  // namespace Mivo
