#pragma once
// Resources by type and id, the way Windows finds them in a module. An
// HINSTANCE is the address of a module record that holds the module's
// resource section: the executable's comes from the program's resources
// library (as a resource compiler's output is linked into the image), and
// tests make modules of their own sections.

#include "platform/Win32.h"

#include <cstddef>
#include <vector>

namespace platform {

// Resource types.
constexpr WORD RT_ICON = 3;
constexpr WORD RT_DIALOG = 5;
constexpr WORD RT_GROUP_ICON = 14;

// One resource: its bytes exactly as a resource compiler writes them.
struct Resource {
    WORD type = 0;
    WORD id = 0;
    std::vector<BYTE> data;
};

using ResourceSection = std::vector<Resource>;

// The executable's resources. Defined by the program's resources library and
// used by the entry point alone, so platform/ needs nothing of the program.
const ResourceSection& ExecutableResources();

// The module handle of a section: one module record per section, kept for the
// life of the process. The section must outlive its use.
HINSTANCE ModuleHandle(const ResourceSection& section);

// The resource of a module with that type and id; null for a module that was
// not made by ModuleHandle or a resource that does not exist.
const Resource* FindResource(HINSTANCE module, WORD type, WORD id);

}  // namespace platform
