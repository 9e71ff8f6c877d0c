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
constexpr WORD RT_STRING = 6;
constexpr WORD RT_GROUP_ICON = 14;

// One resource: its bytes exactly as a resource compiler writes them, and
// its language (a LANGID; 0 for language neutral).
struct Resource {
    WORD type = 0;
    WORD id = 0;
    std::vector<BYTE> data;
    WORD language = 0;
};

using ResourceSection = std::vector<Resource>;

// The executable's resources. Defined by the program's resources library and
// used by the entry point alone, so platform/ needs nothing of the program.
const ResourceSection& ExecutableResources();

// The module handle of a section: one module record per section, kept for the
// life of the process. The section must outlive its use.
HINSTANCE ModuleHandle(const ResourceSection& section);

// The module that a null module handle stands for, as on Windows the one
// the process was made from: set by the entry point.
void SetProcessModule(HINSTANCE module);

// The resource of a module with that type and id in a language, as Windows
// picks it: that language (language 0: the user's, GetUserDefaultUILanguage),
// else its primary language with no sublanguage, else a neutral one, else
// the first there is. Null for a module that was not made by ModuleHandle
// (or null before SetProcessModule) or a resource that does not exist in any
// language.
const Resource* FindResource(HINSTANCE module, WORD type, WORD id, WORD language = 0);

}  // namespace platform
