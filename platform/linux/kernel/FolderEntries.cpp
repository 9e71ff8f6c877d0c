#include "platform/linux/kernel/FolderEntries.h"

#include <dirent.h>

#include <memory>

namespace platform {
namespace {

struct FolderCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    std::unique_ptr<DIR, FolderCloser> dir(::opendir(folder.c_str()));
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    return names;
}

}  // namespace platform
