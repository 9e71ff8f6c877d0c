#pragma once
// The names in a folder of the Unix tree, for the calls that look through one.

#include <string>
#include <vector>

namespace platform {

// The names of a folder's entries in the order the folder lists them, without
// "." and ".."; none when it cannot be read.
std::vector<std::string> FolderEntries(const std::string& folder);

}  // namespace platform
