#pragma once
// The process-wide list of open archives. An archive is opened and indexed
// the first time a lookup names it and stays open (its file held) until the
// list is cleared, which only its owner may do while no file read from it is
// open, or the process ends.

#include "files/String.h"
#include "files/ZipReader.h"

#include <memory>
#include <vector>

namespace Mivo {

// The extension that turns a folder's path into its archive's: se -> se.dat.
extern const String ArchiveExtension;

// The open archives in the order they were first opened; created on first use.
std::vector<std::shared_ptr<ZipReader>>& ArchiveList();

// The reader for the archive at path, opening and listing it on first use;
// null when it cannot be opened as an archive. Archives are keyed by the path
// as given (compared without case), so the same file reached through another
// path is opened again, which fails while the first reader holds it. A failure
// is not remembered: the next lookup tries again.
ZipReader* FindArchive(const char* path);

}  // namespace Mivo
