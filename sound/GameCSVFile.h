#pragma once
// Mivo::GameCSVFile: a comma-separated table read whole into memory and
// handed out record by record. A record is one line, or several when a quoted
// field spans line ends; every line end comes out as one '\n'. The reader
// knows nothing of columns: NextField cuts the fields off a record.

#include "files/String.h"

#include <memory>

namespace Mivo {

class GameCSVFile {
public:
    GameCSVFile() = default;
    virtual ~GameCSVFile();
    GameCSVFile(const GameCSVFile&) = delete;
    GameCSVFile& operator=(const GameCSVFile&) = delete;

    // Loads the file (found through the resource lookup) with one allocation
    // and one read; false when it cannot be opened. The old contents go
    // first, also on failure. Out of memory throws std::bad_alloc.
    bool Open(const char* name);

    // The next record; false at the end of the data and when the data ends
    // inside quotes (the record then holds what was collected).
    bool ReadRecord(String& record);

private:
    bool ReadLine(String& line);

    std::unique_ptr<char[]> buffer;
    const char* position = nullptr;
    const char* end = nullptr;
};

// Moves the first field of record into field, dropping its quotes and the
// comma after it. False only when the record ends inside quotes.
bool NextField(String& field, String& record);

}  // namespace Mivo
