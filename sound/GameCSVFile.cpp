#include "sound/GameCSVFile.h"

#include "files/ResourceFile.h"

#include <cstring>

namespace Mivo {

GameCSVFile::~GameCSVFile() = default;

bool GameCSVFile::Open(const char* name)
{
    buffer.reset();
    position = end = nullptr;

    ResourceFile file;
    if (!file.Open(name))
        return false;
    const int size = file.Size() > 0 ? file.Size() : 0;
    buffer = std::make_unique_for_overwrite<char[]>(size);
    // A member whose bytes cannot be mapped reads short: only what was read
    // is data.
    const int read = file.Read(buffer.get(), size);
    position = buffer.get();
    end = position + (read > 0 ? read : 0);
    return true;
}

bool GameCSVFile::ReadLine(String& line)
{
    line.Clear();
    if (position == end)
        return false;

    const char* stop = position;
    while (stop != end && *stop != '\n' && *stop != '\r')
        ++stop;
    const bool lineEnd = stop != end;

    // The line keeps any zero byte in it; whoever appends it stops there.
    int length = static_cast<int>(stop - position);
    char* out = line.GetBuffer(length + 1);
    if (out == nullptr) {
        // A line too long for a String: nothing more can be read.
        position = end;
        return false;
    }
    std::memcpy(out, position, length);
    if (lineEnd)
        out[length++] = '\n';
    line.SetLength(length);

    if (lineEnd) {
        if (*stop == '\r' && stop + 1 != end && stop[1] == '\n')
            ++stop;
        ++stop;
    }
    position = stop;
    return true;
}

bool GameCSVFile::ReadRecord(String& record)
{
    record.Clear();
    String line;
    if (!ReadLine(line))
        return false;

    bool inQuotes = false;
    int from = 0;
    for (;;) {
        // FindChar never looks at the line's last character, so a quote there
        // goes unseen.
        const int quote = line.FindChar('"', from);
        if (quote < 0) {
            record.Append(line.Text());
            if (!inQuotes)
                return true;
            if (!ReadLine(line))
                return false;
            from = 0;
        } else if (!inQuotes) {
            inQuotes = true;
            from = quote + 1;
        } else if (line.Text()[quote + 1] == '"') {
            from = quote + 2;  // a doubled quote stays inside the field
        } else {
            inQuotes = false;
            from = quote + 1;
        }
    }
}

bool NextField(String& field, String& record)
{
    field.Clear();
    bool inQuotes = false;
    const char* text = record.Text();
    for (int i = 0; i < record.Length() && text[i] != 0; ++i) {
        const char c = text[i];
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ',' && !inQuotes) {
            record.EraseFront(i + 1);
            return true;
        } else if (c == '\n' && !inQuotes) {
            break;  // the last field; the rest of the record is dropped
        } else {
            field.AppendChar(c);
        }
    }
    record.Clear();
    return !inQuotes;
}

}  // namespace Mivo
