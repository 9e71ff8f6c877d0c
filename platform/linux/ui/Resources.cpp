// Module records behind instance handles.

#include "platform/linux/ui/Resources.h"

#include <map>
#include <memory>
#include <mutex>

namespace platform {
namespace {

struct Module {
    const ResourceSection* section;
};

struct ModuleTable {
    std::mutex lock;
    std::map<const ResourceSection*, std::unique_ptr<Module>> modules;
};

// Never destroyed: instance handles stay valid until the process is gone.
ModuleTable& Modules()
{
    static ModuleTable* table = new ModuleTable;
    return *table;
}

}  // namespace

HINSTANCE ModuleHandle(const ResourceSection& section)
{
    ModuleTable& table = Modules();
    std::lock_guard guard(table.lock);
    auto& module = table.modules[&section];
    if (!module)
        module = std::make_unique<Module>(Module{&section});
    return reinterpret_cast<HINSTANCE>(module.get());
}

const Resource* FindResource(HINSTANCE instance, WORD type, WORD id)
{
    ModuleTable& table = Modules();
    std::lock_guard guard(table.lock);
    for (const auto& [section, module] : table.modules) {
        if (reinterpret_cast<HINSTANCE>(module.get()) != instance)
            continue;
        for (const Resource& resource : *section)
            if (resource.type == type && resource.id == id)
                return &resource;
        return nullptr;
    }
    return nullptr;
}

}  // namespace platform
