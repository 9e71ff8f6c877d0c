#pragma once
// Mivo::ZipReader: one zip archive, checked and indexed once, whose members
// are handed out as LocalFile readers over mapped views of the archive; each
// reader shares the archive's mapping and its entry, so it stays usable after
// the reader that made it closes. Only
// what a stored-member archive needs is read: the first local header's
// signature, the end record and the central directory. Local headers are never
// consulted, so an archive must carry the same name and extra field lengths in
// its local and central headers.

#include "files/FileMapping.h"
#include "files/LocalFile.h"
#include "files/String.h"
#include "files/ZipEntry.h"

#include <compare>
#include <cstdint>
#include <memory>
#include <vector>

namespace Mivo {

class ZipReader {
public:
    ZipReader() = default;
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    // Opens (holding the file exclusively) and indexes the archive. On false
    // the reader is of no use and should be discarded.
    bool Open(const char* path);
    // Lets go of the archive; the file closes with its last member reader.
    void Close();

    // A reader for the first entry whose name equals name (ComparePath), or
    // empty. Nothing is mapped yet. The answer is the one a scan of the
    // entries in directory order gives, found through a sorted index of name
    // keys so that a bank of thousands of members is not scanned per lookup.
    std::unique_ptr<LocalFile> OpenEntry(const char* name) const;

    const String& Name() const { return name; }
    const std::vector<ZipEntry>& Entries() const
    {
        static const std::vector<ZipEntry> none;
        return contents ? contents->entries : none;
    }

private:
    bool ReadDirectory(const BYTE* directory, DWORD directorySize, int count);
    void BuildIndex();

    // A key that names equal under ComparePath always share; sorted by key,
    // then by directory order.
    struct IndexEntry {
        std::uint64_t key;
        std::size_t entry;
        auto operator<=>(const IndexEntry&) const = default;
    };

    // What the member readers share.
    struct Contents {
        FileMapping mapping;
        std::vector<ZipEntry> entries;
    };

    String name;
    std::shared_ptr<Contents> contents;
    std::vector<IndexEntry> index;
};

}  // namespace Mivo
