#include "files/ArchiveList.h"

#include "files/Paths.h"

namespace Mivo {

const String ArchiveExtension("dat");

std::vector<std::shared_ptr<ZipReader>>& ArchiveList()
{
    static std::vector<std::shared_ptr<ZipReader>> archives;
    return archives;
}

ZipReader* FindArchive(const char* path)
{
    auto& archives = ArchiveList();
    for (const auto& reader : archives)
        if (ComparePath(reader->Name().Text(), path) == 0)
            return reader.get();
    auto reader = std::make_shared<ZipReader>();
    if (!reader->Open(path))
        return nullptr;
    archives.push_back(reader);
    return reader.get();
}

}  // namespace Mivo
