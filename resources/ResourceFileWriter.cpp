// strumkey_resource_file FILE: writes the executable's resources (the dialog
// templates, the strings and the icon) as a compiled resource file (.res), from which the
// Windows build's resource compiler makes the object linked into
// strumkey.exe. So both builds take their resources from one source.

#include "platform/linux/ui/Resources.h"
#include "resources/ResourceBytes.h"

#include <cstdio>
#include <fstream>
#include <vector>

namespace {

using resource_bytes::Dword;
using resource_bytes::Word;

// Moveable, pure and discardable, as resource compilers mark them.
constexpr WORD MemoryFlags = 0x1030;

// One entry: the header, with type and name as numbers, then the data,
// padded to four bytes.
void Entry(std::vector<BYTE>& out, WORD type, WORD id, const std::vector<BYTE>& data, WORD flags, WORD language)
{
    constexpr DWORD HeaderSize = 32;
    Dword(out, static_cast<DWORD>(data.size()));
    Dword(out, HeaderSize);
    Word(out, 0xFFFF);
    Word(out, type);
    Word(out, 0xFFFF);
    Word(out, id);
    Dword(out, 0);  // data version
    Word(out, flags);
    Word(out, language);  // 0: neutral, found whatever the system's language
    Dword(out, 0);        // version
    Dword(out, 0);        // characteristics
    out.insert(out.end(), data.begin(), data.end());
    out.resize((out.size() + 3) / 4 * 4, 0);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: strumkey_resource_file FILE.res\n");
        return 2;
    }
    std::vector<BYTE> out;
    Entry(out, 0, 0, {}, 0, 0);  // a resource file begins with an empty entry
    for (const platform::Resource& resource : platform::ExecutableResources())
        Entry(out, resource.type, resource.id, resource.data, MemoryFlags, resource.language);
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "strumkey_resource_file: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
