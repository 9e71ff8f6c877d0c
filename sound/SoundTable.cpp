#include "sound/SoundTable.h"

#include "platform/Win32.h"
#include "resources/Resources.h"
#include "sound/GameCSVFile.h"

#include <climits>
#include <cstdlib>

const Mivo::String SoundFolder("se");

SoundTable* TheSoundTable = nullptr;

namespace {

// A load failure, in the program's language, under the system's caption.
void ShowText(UINT id)
{
    char text[256];
    LoadStringA(nullptr, id, text, sizeof text);
    MessageBoxA(nullptr, text, nullptr, MB_OK);
}

// The reader turns every line end into '\n', so carriage returns never remain.
constexpr const char* Blanks = " \t\n";

// atoi, with a defined answer for numbers outside int: the nearest int.
int ToId(const char* text)
{
    const long long value = std::strtoll(text, nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

bool SoundTable::NameLess::operator()(const Mivo::String& a, const Mivo::String& b) const
{
    return lstrcmpA(a.Text(), b.Text()) < 0;
}

SoundTable::SoundTable() : folder(SoundFolder)
{}

SoundTable::~SoundTable()
{
    for (auto& [id, entry] : entries)
        Unload(id);
}

bool SoundTable::ReadTable(const char* fileName)
{
    Mivo::GameCSVFile table;
    if (!table.Open(fileName))
        return false;

    Mivo::String record;
    Mivo::String field;
    while (table.ReadRecord(record)) {
        record.TrimLeft(Blanks);
        if (record.IsEmpty() || record.Text()[0] == '#')
            continue;  // blank line or comment
        Mivo::NextField(field, record);
        field.TrimRight(Blanks);
        const int id = ToId(field.Text());
        Mivo::NextField(field, record);
        field.TrimLeft(Blanks);
        field.TrimRight(Blanks);
        Define(field.Text(), id);
    }
    return true;
}

bool SoundTable::Define(const char* fileName, int id)
{
    if (entries.contains(id))
        Unload(id);
    // One spelling per file, so that names differing in case or separator
    // share a chunk. Both walk whole cp932 characters.
    Mivo::String name(fileName);
    name.ReplaceChar('/', '\\');
    name.MakeLower();
    SoundEntry& entry = entries[id];
    entry.fileName = name;
    entry.chunk = nullptr;
    return true;
}

int SoundTable::LoadAll()
{
    for (const auto& [id, entry] : entries)
        if (!Load(id))
            return -1;
    return static_cast<int>(entries.size());
}

bool SoundTable::Load(int id)
{
    auto found = entries.find(id);
    if (found == entries.end()) {
        ShowText(IDS_NO_SUCH_ID);
        return false;
    }
    SoundEntry& entry = found->second;
    if (entry.chunk != nullptr)
        return true;

    auto slot = chunks.find(entry.fileName);
    if (slot != chunks.end()) {
        ++slot->second.uses;
        entry.chunk = slot->second.chunk.get();
        return true;
    }

    // The first chunk ever made opens the audio device.
    auto chunk = std::make_unique<Mivo::Chunk>();
    Mivo::String path(folder);
    if (!entry.fileName.IsEmpty()) {
        if (!path.IsEmpty() && path.FindLastChar('\\') != path.Length() - 1)
            path.AppendChar('\\');
        path.Append(entry.fileName.Text());
    }
    if (!chunk->Load(path.Text())) {
        ShowText(IDS_LOAD_FAILED);
        return false;
    }
    Mivo::Chunk* loaded = chunk.get();
    chunks.emplace(entry.fileName, ChunkSlot{std::move(chunk), 1});
    entry.chunk = loaded;
    return true;
}

void SoundTable::Unload(int id)
{
    auto found = entries.find(id);
    if (found == entries.end() || found->second.chunk == nullptr)
        return;
    SoundEntry& entry = found->second;
    entry.chunk = nullptr;
    auto slot = chunks.find(entry.fileName);
    if (slot != chunks.end() && --slot->second.uses == 0)
        chunks.erase(slot);  // destroys the chunk and frees its sample
}

Mivo::Chunk* const* SoundTable::Find(int id) const
{
    auto found = entries.find(id);
    return found != entries.end() ? &found->second.chunk : nullptr;
}
