// The zip index and member reads. The input is an archive file. Every entry
// is found by name as a plain scan of the directory finds it (the first entry
// of that name), and every member reads, seeks and maps inside its own bytes
// of the archive, or not at all when they do not lie inside it.

#include "files/Paths.h"
#include "files/ZipReader.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = FuzzScratch::Get().Write("a.dat", data, size);
    Mivo::ZipReader reader;
    if (!reader.Open(path.c_str()))
        return 0;
    const auto& entries = reader.Entries();
    for (std::size_t i = 0; i < entries.size() && i < 256; ++i) {
        const char* name = entries[i].name.Text();
        std::size_t first = 0;
        while (Mivo::ComparePath(entries[first].name.Text(), name) != 0)
            ++first;
        const auto file = reader.OpenEntry(name);
        STRUMKEY_CHECK(file != nullptr);
        STRUMKEY_CHECK(&file->Entry() == &entries[first]);

        const Mivo::ZipEntry& entry = file->Entry();
        const bool inside = std::uint64_t{entry.dataOffset} + entry.compressedSize <= size;
        const BYTE* view = file->EnsureView();
        STRUMKEY_CHECK((view != nullptr) == inside);
        std::vector<BYTE> bytes(4096);
        const DWORD read = file->Read(bytes.data(), static_cast<DWORD>(bytes.size()));
        STRUMKEY_CHECK(read <= entry.compressedSize && (inside || read == 0));
        if (read > 0)
            STRUMKEY_CHECK(std::memcmp(bytes.data(), data + entry.dataOffset, read) == 0);
        // Every seek lands inside the member, counted from where it says.
        for (LONG offset : {-1L, 0L, 1L, 7L, 0x7FFFFFFFL, -0x7FFFFFFFL - 1}) {
            for (int origin : {0, 1, 2}) {
                if (!file->Seek(offset, origin)) {
                    STRUMKEY_CHECK(!inside);
                    continue;
                }
                STRUMKEY_CHECK(file->Tell() == 0 || file->Tell() < entry.compressedSize);
            }
        }
    }
    return 0;
}
