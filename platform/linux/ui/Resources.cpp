// Module records behind instance handles.

#include "platform/linux/ui/Resources.h"

#include "platform/StringTable.h"
#include "platform/Text.h"
#include "platform/Win32.h"

#include <QString>

#include <atomic>
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

std::atomic<HINSTANCE> processModule{nullptr};

// The section of a module (null: the process's); null for a handle
// ModuleHandle did not give.
const ResourceSection* SectionOf(ModuleTable& table, HINSTANCE instance)
{
    if (instance == nullptr)
        instance = processModule;
    for (const auto& [section, module] : table.modules)
        if (reinterpret_cast<HINSTANCE>(module.get()) == instance)
            return section;
    return nullptr;
}

}  // namespace

void SetProcessModule(HINSTANCE module)
{
    processModule = module;
}

HINSTANCE ModuleHandle(const ResourceSection& section)
{
    ModuleTable& table = Modules();
    std::lock_guard guard(table.lock);
    auto& module = table.modules[&section];
    if (!module)
        module = std::make_unique<Module>(Module{&section});
    return reinterpret_cast<HINSTANCE>(module.get());
}

const Resource* FindResource(HINSTANCE instance, WORD type, WORD id, WORD language)
{
    const WORD wanted = language == 0 ? GetUserDefaultUILanguage() : language;
    const WORD tried[] = {wanted, static_cast<WORD>(wanted & 0x3FF), 0};
    ModuleTable& table = Modules();
    std::lock_guard guard(table.lock);
    const ResourceSection* section = SectionOf(table, instance);
    if (section == nullptr)
        return nullptr;
    const Resource* first = nullptr;
    for (const WORD candidate : tried)
        for (const Resource& resource : *section)
            if (resource.type == type && resource.id == id) {
                if (resource.language == candidate)
                    return &resource;
                first = first != nullptr ? first : &resource;
            }
    return first;
}

}  // namespace platform

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size)
{
    using namespace platform;
    if (buffer == nullptr || size < 1)
        return 0;
    buffer[0] = '\0';
    const Resource* block =
        FindResource(instance, RT_STRING, static_cast<WORD>(StringBlockOf(id)), GetThreadUILanguage());
    if (block == nullptr)
        return 0;
    const std::optional<std::u16string> text =
        StringOfBlock(block->data.data(), block->data.size(), id % StringsPerBlock);
    if (!text)
        return 0;
    const QString wide(reinterpret_cast<const QChar*>(text->data()), static_cast<qsizetype>(text->size()));
    return CopyCp932(Utf8ToCp932(wide.toStdString()), buffer, size);
}
