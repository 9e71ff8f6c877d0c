#pragma once
// SoundTable: sound identifier -> sample. Filled at start-up from se.csv, every
// sample loaded into memory; identifiers that name the same file share one
// Chunk. While the program plays the table is only searched, from the dialog
// thread and the timer thread at once, without a lock.

#include "files/String.h"
#include "sound/Chunk.h"

#include <map>
#include <memory>

// The folder of every sample: "se", served by se.dat or the plain folder.
extern const Mivo::String SoundFolder;

class SoundTable {
public:
    SoundTable();
    // Unloads every entry in ascending identifier order, freeing every sample.
    ~SoundTable();
    SoundTable(const SoundTable&) = delete;
    SoundTable& operator=(const SoundTable&) = delete;

    // Defines the identifiers listed in the table file; false only when the
    // file cannot be opened.
    bool ReadTable(const char* fileName);
    // Defines (or redefines) id as the sample fileName under the folder.
    bool Define(const char* fileName, int id);

    // Loads every entry in ascending identifier order: the number of entries,
    // or -1 at the first failure (after its message box).
    int LoadAll();
    bool Load(int id);
    void Unload(int id);

    // The entry's chunk field (itself null while not loaded), or null when id
    // has no entry. A map lookup: no allocation, no file access.
    Mivo::Chunk* const* Find(int id) const;

private:
    struct SoundEntry {
        Mivo::String fileName;
        Mivo::Chunk* chunk = nullptr;  // the slot's, not owned
    };
    struct ChunkSlot {
        std::unique_ptr<Mivo::Chunk> chunk;
        int uses = 0;
    };
    struct NameLess {
        bool operator()(const Mivo::String& a, const Mivo::String& b) const;
    };

    Mivo::String folder;
    std::map<int, SoundEntry> entries;
    std::map<Mivo::String, ChunkSlot, NameLess> chunks;
};

// The program's one sound table: start-up creates and fills it before the
// dialog runs, shutdown frees it after every trigger is cancelled. Null
// while there is none; the triggers and the digit keys read it.
extern SoundTable* TheSoundTable;
