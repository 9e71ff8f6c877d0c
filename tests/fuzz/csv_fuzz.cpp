// The CSV reader and the sound table. The input is a table file. Its records
// add up to the file: each line once, its line end as one '\n', as far as
// its first zero byte; and the sound table defines no more entries than the
// file has records.

#include "sound/GameCSVFile.h"
#include "sound/SoundTable.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// The file as the records must give it back.
std::string Expected(const std::string& bytes)
{
    std::string out;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", pos);
        const bool lineEnd = end != std::string::npos;
        if (!lineEnd)
            end = bytes.size();
        const std::string line = bytes.substr(pos, end - pos);
        const std::size_t zero = line.find('\0');
        // A zero byte ends the text that is kept, line end and all.
        out += zero != std::string::npos ? line.substr(0, zero) : line + (lineEnd ? "\n" : "");
        pos = !lineEnd ? end : end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = FuzzScratch::Get().Write("se.csv", data, size);
    Mivo::GameCSVFile file;
    STRUMKEY_CHECK(file.Open(path.c_str()));
    std::string records;
    Mivo::String record;
    int count = 0;
    for (bool more = true; more; ++count) {
        more = file.ReadRecord(record);
        records += record.Text();
    }
    STRUMKEY_CHECK(records == Expected(std::string(reinterpret_cast<const char*>(data), size)));

    SoundTable table;
    STRUMKEY_CHECK(table.ReadTable(path.c_str()));
    int defined = 0;
    for (int id = -1000; id <= 1000; ++id)
        defined += table.Find(id) != nullptr ? 1 : 0;
    STRUMKEY_CHECK(defined <= count);
    return 0;
}
