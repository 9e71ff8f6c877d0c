// Resource lookup: the input is both an archive standing in for the folder
// "se" and a plain file. Whatever opens reports a size that can be read in
// full, no more, and seeks stay inside the file.

#include "files/ArchiveList.h"
#include "files/ResourceFile.h"
#include "files/ZipReader.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Reads the whole file in pieces and checks the sizes on the way.
void ReadThrough(Mivo::ResourceFile& file, const std::uint8_t* expected)
{
    const int size = file.Size();
    STRUMKEY_CHECK(size >= 0);
    // Room for more than the size, so that a read past it would show.
    std::vector<char> bytes(static_cast<std::size_t>(size) + 16);
    int total = 0;
    for (int n; (n = file.Read(bytes.data() + total, std::min(4096, static_cast<int>(bytes.size()) - total))) > 0;)
        total += n;
    STRUMKEY_CHECK(total == size);
    if (expected != nullptr)
        STRUMKEY_CHECK(std::memcmp(bytes.data(), expected, static_cast<std::size_t>(size)) == 0);
    for (int offset : {-1, 0, 1, 3, size, 0x7FFFFFFF, -0x7FFFFFFF - 1}) {
        for (int origin : {0, 1, 2}) {
            if (file.Seek(offset, origin))
                STRUMKEY_CHECK(file.Tell() >= 0 && file.Tell() <= size);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const FuzzScratch& scratch = FuzzScratch::Get();
    const std::string archive = scratch.Write("se.dat", data, size);
    scratch.Write("plain.bin", data, size);

    std::vector<std::string> names;
    {
        Mivo::ZipReader reader;
        if (reader.Open(archive.c_str()))
            for (std::size_t i = 0; i < reader.Entries().size() && i < 64; ++i)
                names.push_back(reader.Entries()[i].name.Text());
    }
    names.push_back("missing.wav");
    for (const std::string& name : names) {
        Mivo::ResourceFile file;
        if (file.Open(scratch.Windows("se\\" + name).c_str()))
            ReadThrough(file, nullptr);
        else
            STRUMKEY_CHECK(file.Size() == -1);
    }
    // The list holds the archive open: let it go before the next input.
    Mivo::ArchiveList().clear();

    Mivo::ResourceFile plain;
    STRUMKEY_CHECK(plain.Open(scratch.Windows("plain.bin").c_str()));
    STRUMKEY_CHECK(plain.Size() == static_cast<int>(size));
    ReadThrough(plain, data);
    return 0;
}
