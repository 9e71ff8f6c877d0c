#include "files/MappedFile.h"

namespace Mivo {

bool MappedFile::Open(const char* path)
{
    Close();
    if (!mapping.Open(path, true))
        return false;
    if (mapping.Size() == 0)
        return true;
    view = mapping.Map(0, 0);
    return view != nullptr;
}

void MappedFile::Close()
{
    view.reset();
    mapping.Close();
}

}  // namespace Mivo
