// The CSV reader: line ends, quotes across lines, fields, and the same table
// read from a plain file and from an archive member.

#include "sound/GameCSVFile.h"

#include "tests/support/ArchiveTestSupport.h"
#include "tests/support/SoundTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Mivo::GameCSVFile;
using Mivo::String;

namespace {

struct Records {
    bool opened = false;
    std::vector<std::string> complete;
    bool unfinished = false;  // the last ReadRecord returned false with text
    std::string rest;
};

Records ReadAll(const char* path)
{
    Records out;
    GameCSVFile file;
    out.opened = file.Open(path);
    String record;
    while (file.ReadRecord(record))
        out.complete.push_back(record.Text());
    out.unfinished = !record.IsEmpty();
    out.rest = record.Text();
    return out;
}

std::vector<std::string> Fields(const std::string& text, bool* lastOk = nullptr)
{
    String record(text.c_str());
    String field;
    std::vector<std::string> fields;
    bool ok = true;
    do {
        ok = Mivo::NextField(field, record);
        fields.push_back(field.Text());
    } while (ok && !record.IsEmpty());
    if (lastOk)
        *lastOk = ok;
    return fields;
}

class GameCSVFileTest : public ::testing::Test {
protected:
    std::string Write(const std::string& bytes)
    {
        temp.Write("table.csv", bytes);
        return temp.Windows("table.csv");
    }
    TempFolder temp;
};

TEST_F(GameCSVFileTest, RecordsAndLineEnds)
{
    using namespace std::string_literals;
    struct Case {
        std::string data;
        std::vector<std::string> records;
        std::string unfinished;  // text of a record cut off inside quotes
    } cases[] = {
        {"", {}, ""},
        {"a,b", {"a,b"}, ""},
        {"a\r", {"a\n"}, ""},
        {"a\r\nb\rc\n\rd", {"a\n", "b\n", "c\n", "\n", "d"}, ""},
        {"\n\n", {"\n", "\n"}, ""},
        {"1,\"a,b\"\n2\n", {"1,\"a,b\"\n", "2\n"}, ""},
        {"1,\"a\r\nb\"\r\n2", {"1,\"a\nb\"\n", "2"}, ""},
        {"1,\"x\"\"\ny\"\n", {"1,\"x\"\"\ny\"\n"}, ""},
        {"0\n1,\"open\nmore\n", {"0\n"}, "1,\"open\nmore\n"},
        // The closing quote is the line's last character: the search never
        // starts there, so the record counts as unfinished.
        {"5,\"\"", {}, "5,\"\""},
        {"5,\"x\"", {"5,\"x\""}, ""},
        // A zero byte cuts its line short, line end and later quotes included.
        {"ab\0c,\"d\nx\n"s, {"ab", "x\n"}, ""},
    };
    for (const Case& c : cases) {
        const Records got = ReadAll(Write(c.data).c_str());
        EXPECT_TRUE(got.opened);
        EXPECT_EQ(got.complete, c.records) << testing::PrintToString(c.data);
        EXPECT_EQ(got.rest, c.unfinished) << testing::PrintToString(c.data);
    }
}

TEST_F(GameCSVFileTest, Fields)
{
    struct Case {
        std::string record;
        std::vector<std::string> fields;
        bool ok;
    } cases[] = {
        {"a,b\n", {"a", "b"}, true},
        {"", {""}, true},
        {"1,\"a,b\"\n", {"1", "a,b"}, true},
        {"\"x,y\",z", {"x,y", "z"}, true},
        {"ab\"c,d\"e", {"abc,de"}, true},
        {"\"a\"\"b\"", {"ab"}, true},
        {" a ,\tb \n", {" a ", "\tb "}, true},
        {"1,\"a\nb\"\n", {"1", "a\nb"}, true},
        {"a\nb,c", {"a"}, true},
        {"\"abc", {"abc"}, false},
    };
    for (const Case& c : cases) {
        bool ok = true;
        EXPECT_EQ(Fields(c.record, &ok), c.fields) << testing::PrintToString(c.record);
        EXPECT_EQ(ok, c.ok) << testing::PrintToString(c.record);
    }

    // The record shrinks field by field; an emptied record still yields one
    // empty field.
    String record("a,b\n");
    String field;
    EXPECT_TRUE(Mivo::NextField(field, record));
    EXPECT_STREQ(record.Text(), "b\n");
    EXPECT_TRUE(Mivo::NextField(field, record));
    EXPECT_STREQ(field.Text(), "b");
    EXPECT_STREQ(record.Text(), "");
    EXPECT_TRUE(Mivo::NextField(field, record));
    EXPECT_STREQ(field.Text(), "");
}

// What a spreadsheet writes: CRLF, quoted fields with commas and quotes, a
// field over two lines, no line end after the last record.
TEST_F(GameCSVFileTest, SpreadsheetExportFromFileAndArchive)
{
    const std::string table =
        "id,name,note\r\n"
        "1,\"Smith, John\",\"say \"\"hi\"\"\"\r\n"
        "2,\"two\r\nlines\",x\r\n"
        "3,plain,\"last\"";
    const std::vector<std::vector<std::string>> expected = {
        {"id", "name", "note"},
        {"1", "Smith, John", "say hi"},
        {"2", "two\nlines", "x"},
        {"3", "plain", "last"},
    };

    temp.Write("data.dat", SoundTest::StoredZip({{"table.csv", table}}));
    temp.Write("plain.csv", table);
    for (const std::string& path : {temp.Windows("plain.csv"), temp.Windows("data\\table.csv")}) {
        const Records got = ReadAll(path.c_str());
        ASSERT_TRUE(got.opened) << path;
        ASSERT_EQ(got.complete.size(), expected.size()) << path;
        for (size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(Fields(got.complete[i]), expected[i]) << path << " record " << i;
        EXPECT_FALSE(got.unfinished);
    }
}

TEST_F(GameCSVFileTest, FailedOpenDiscardsTheOldContents)
{
    GameCSVFile file;
    String record("left over");
    EXPECT_FALSE(file.ReadRecord(record));  // nothing opened yet
    EXPECT_TRUE(record.IsEmpty());

    ASSERT_TRUE(file.Open(Write("1\n2\n").c_str()));
    ASSERT_TRUE(file.ReadRecord(record));
    EXPECT_FALSE(file.Open(temp.Windows("missing.csv").c_str()));
    EXPECT_FALSE(file.ReadRecord(record));
}

}  // namespace
