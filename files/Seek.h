#pragma once
// Where a seek lands in a file of size bytes, worked out as a byte index so
// that no pointer ever leaves the mapped bytes. Shared by the readers of
// archive members and plain files.

#include <cstdint>
#include <optional>

namespace Mivo {

// origin 0 counts offset from the first byte, 1 from position, 2 from the last
// byte. A target past the end goes to the last byte, except that a file whose
// end is a place to stand (endIsAPlace) may land exactly one past its last
// byte; a target before the start, and any target in an empty file, is 0.
// Empty for another origin.
std::optional<std::int64_t> SeekTarget(std::int64_t position, std::int64_t size, std::int64_t offset, int origin,
                                       bool endIsAPlace);

}  // namespace Mivo
