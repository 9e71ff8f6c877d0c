// The sound table on SDL's dummy driver: parsing se.csv, loading order, the
// shared chunk cache and its two messages.

#include "sound/SoundTable.h"
#include "platform/Cp932Literal.h"

#include "tests/support/ArchiveTestSupport.h"
#include "tests/support/SoundTestSupport.h"

#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <vector>

// The mixer's sample frees, counted (the program is linked with
// --wrap=Mix_FreeChunk).
namespace {
int sampleFrees = 0;
}

extern "C" {
void __real_Mix_FreeChunk(Mix_Chunk* chunk);

void __wrap_Mix_FreeChunk(Mix_Chunk* chunk)
{
    ++sampleFrees;
    __real_Mix_FreeChunk(chunk);
}
}

namespace {

// The two messages in the cp932 bytes the program has always shown:
// "ファイルロードに失敗" and "指定のIDは定義されていません".
const std::string LoadFailed = "\x83\x74\x83\x40\x83\x43\x83\x8B\x83\x8D\x81\x5B\x83\x68\x82\xC9\x8E\xB8\x94\x73";
const std::string Undefined =
    "\x8E\x77\x92\xE8\x82\xCC\x49\x44\x82\xCD\x92\xE8\x8B\x60\x82\xB3\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB9\x82\xF1";

// A folder holding se.csv and samples under se/, made the current folder.
class SoundTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"a.wav", "b.wav", "c.wav", "d.wav", "e.wav", "sub/tone.wav"})
            temp.Write(std::string("se/") + name, SoundTest::MakeWav(300, ++seed));
        here.emplace(temp.Path());
        SoundTest::SpeakLanguage(0x0411);
    }
    void TearDown() override { Mix_HaltChannel(-1); }

    // The table file, read into table.
    bool Read(const std::string& csv)
    {
        temp.Write("se.csv", csv);
        return table.ReadTable("se.csv");
    }

    bool Defined(int id) const { return table.Find(id) != nullptr; }
    Mivo::Chunk* ChunkOf(int id) const
    {
        Mivo::Chunk* const* found = table.Find(id);
        return found != nullptr ? *found : nullptr;
    }

    int seed = 0;
    TempFolder temp;
    std::optional<SoundTest::CurrentFolder> here;
    SoundTest::MessageBoxes boxes;
    SoundTable table;
};

TEST_F(SoundTableTest, RecordsDefineIdentifiers)
{
    ASSERT_TRUE(
        Read("# a comment,a.wav\n"
             "  \t# 3,a.wav\n"
             "\n"
             "   \n"
             "abc,a.wav\n"
             "  7 ,  b.wav  , ignored, too\n"
             "\" 9 \",\" c.wav \"\n"
             "-4,\"d\n.wav\"\n"  // one record over two lines: a name that does not exist
             "11,e.wav,\"never closed\n"));
    EXPECT_FALSE(Defined(3));
    EXPECT_TRUE(Defined(0));
    EXPECT_TRUE(Defined(7));
    EXPECT_TRUE(Defined(9));
    EXPECT_TRUE(Defined(-4));
    EXPECT_FALSE(Defined(11));  // the reader stops at the unfinished record

    // Blanks around the names were trimmed, so the files are found.
    EXPECT_TRUE(table.Load(0));
    EXPECT_TRUE(table.Load(7));
    EXPECT_TRUE(table.Load(9));
    EXPECT_FALSE(table.Load(-4));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{LoadFailed});
    for (const SoundTest::MessageBoxCall& call : boxes.Calls()) {
        EXPECT_EQ(call.owner, nullptr);
        EXPECT_TRUE(call.nullCaption);
        EXPECT_EQ(call.type, MB_OK);
    }
}

TEST_F(SoundTableTest, SingleFieldRecordTriesTheBareFolder)
{
    ASSERT_TRUE(Read("7\n"));
    ASSERT_TRUE(Defined(7));
    EXPECT_EQ(table.LoadAll(), -1);
    EXPECT_EQ(ChunkOf(7), nullptr);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{LoadFailed});
}

TEST_F(SoundTableTest, NamesDifferingInCaseAndSeparatorShareOneChunk)
{
    ASSERT_TRUE(Read("5,Sub\\Tone.WAV\n6,sub/tone.wav\n"));
    ASSERT_EQ(table.LoadAll(), 2);
    ASSERT_NE(ChunkOf(5), nullptr);
    EXPECT_EQ(ChunkOf(5), ChunkOf(6));

    // The chunk lives while one entry still uses it.
    table.Unload(5);
    EXPECT_EQ(ChunkOf(5), nullptr);
    ASSERT_NE(ChunkOf(6), nullptr);
    EXPECT_GE(ChunkOf(6)->Play(0, -1), 0);
    EXPECT_TRUE(table.Load(5));
    EXPECT_EQ(ChunkOf(5), ChunkOf(6));
    EXPECT_TRUE(boxes.Texts().empty());
}

// The shared sample is freed once, when its last user lets go: by Unload, or
// by the table's destruction.
TEST_F(SoundTableTest, SharedSampleIsFreedOnce)
{
    for (bool byDestruction : {false, true}) {
        SCOPED_TRACE(byDestruction);
        sampleFrees = 0;
        {
            SoundTable fresh;
            temp.Write("se.csv", "5,a.wav\n6,A.WAV\n7,se/../a.wav\n8,b.wav\n");
            ASSERT_TRUE(fresh.ReadTable("se.csv"));
            ASSERT_EQ(fresh.LoadAll(), 4);
            if (!byDestruction) {
                fresh.Unload(5);
                fresh.Unload(5);  // already let go: no second release
                EXPECT_EQ(sampleFrees, 0);
                fresh.Unload(6);
                EXPECT_EQ(sampleFrees, 1);
            }
        }
        // a.wav under two names (7 has a spelling of its own), b.wav once.
        EXPECT_EQ(sampleFrees, 3);
    }
}

// Names are lowered and separated as cp932 text: the trail byte of a
// two-byte character is never taken for a letter. "ア" is 83 41 and "チ" is
// 83 61: lowering the byte 41 would merge the two names.
TEST_F(SoundTableTest, TwoByteNamesKeepTheirTrailBytes)
{
    temp.Write(u8"se/ア.wav", SoundTest::MakeWav(300, 40));
    temp.Write(u8"se/チ.wav", SoundTest::MakeWav(300, 41));
    temp.Write(u8"se/ソ/x.wav", SoundTest::MakeWav(300, 42));  // ソ is 83 5C
    table.Define(CP932("ア.wav"), 1);
    table.Define(CP932("チ.wav"), 2);
    table.Define(CP932("ソ/X.WAV"), 3);
    ASSERT_EQ(table.LoadAll(), 3);
    EXPECT_TRUE(boxes.Texts().empty());
    ASSERT_NE(ChunkOf(1), nullptr);
    ASSERT_NE(ChunkOf(2), nullptr);
    EXPECT_NE(ChunkOf(1), ChunkOf(2));
    EXPECT_NE(ChunkOf(3), nullptr);
}

TEST_F(SoundTableTest, IdentifierConversion)
{
    struct Case {
        const char* field;
        int id;
    } cases[] = {
        {"12", 12},
        {"  +12abc ", 12},
        {"-7", -7},
        {"\" 9 \"", 9},
        {"abc", 0},
        {"", 0},
        {"0x10", 0},
        // Out of range: the nearest identifier, never an arbitrary one.
        {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
    };
    for (const Case& c : cases) {
        SoundTable fresh;
        temp.Write("se.csv", std::string(c.field) + ",a.wav\n");
        ASSERT_TRUE(fresh.ReadTable("se.csv"));
        EXPECT_NE(fresh.Find(c.id), nullptr) << c.field;
    }
}

TEST_F(SoundTableTest, LaterDefinitionWins)
{
    ASSERT_TRUE(Read("5,missing.wav\n5,a.wav\n"));
    EXPECT_EQ(table.LoadAll(), 1);
    EXPECT_NE(ChunkOf(5), nullptr);

    // Redefining a loaded identifier lets go of its sample.
    table.Define("b.wav", 5);
    EXPECT_EQ(ChunkOf(5), nullptr);
    EXPECT_TRUE(table.Load(5));
    EXPECT_TRUE(boxes.Texts().empty());
}

// Identifiers load in ascending signed order: the entries before the failing
// one have their samples, the failing one and those after have none.
TEST_F(SoundTableTest, LoadsInAscendingSignedOrder)
{
    for (int failing : {-3, 0, 12}) {
        SCOPED_TRACE(failing);
        SoundTable fresh;
        boxes.Clear();
        std::string csv;
        for (int id : {12, -3, 0})
            csv += std::to_string(id) + (id == failing ? ",missing.wav\n" : ",a.wav\n");
        temp.Write("se.csv", csv);
        ASSERT_TRUE(fresh.ReadTable("se.csv"));
        EXPECT_EQ(fresh.LoadAll(), -1);
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{LoadFailed});
        for (int id : {-3, 0, 12})
            EXPECT_EQ(*fresh.Find(id) != nullptr, id < failing) << id;
    }
}

TEST_F(SoundTableTest, EmptyAndCommentOnlyTables)
{
    for (const char* csv : {"", "# only a comment\n   # and another\n\n"}) {
        SoundTable fresh;
        temp.Write("se.csv", csv);
        EXPECT_TRUE(fresh.ReadTable("se.csv"));
        EXPECT_EQ(fresh.LoadAll(), 0);
        for (int id = -1; id <= 40; ++id)
            EXPECT_EQ(fresh.Find(id), nullptr);
    }
    SoundTable none;
    EXPECT_FALSE(none.ReadTable("missing.csv"));
    EXPECT_TRUE(boxes.Texts().empty());
}

TEST_F(SoundTableTest, FailingThirdOfFiveStopsTheLoad)
{
    ASSERT_TRUE(Read("1,a.wav\n2,b.wav\n3,missing.wav\n4,d.wav\n5,e.wav\n"));
    EXPECT_EQ(table.LoadAll(), -1);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{LoadFailed});
    for (int id : {1, 2}) {
        ASSERT_NE(ChunkOf(id), nullptr) << id;
        EXPECT_GE(ChunkOf(id)->Play(0, -1), 0) << id;
    }
    for (int id : {3, 4, 5}) {
        ASSERT_TRUE(Defined(id));
        EXPECT_EQ(ChunkOf(id), nullptr) << id;
    }
}

TEST_F(SoundTableTest, LoadOfAnUndefinedIdentifier)
{
    EXPECT_FALSE(table.Load(99));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{Undefined});
    table.Unload(99);  // nothing there: nothing happens
    // In English, on every other system.
    SoundTest::SpeakLanguage(0x0409);
    ASSERT_TRUE(Read("1,missing.wav\n"));
    EXPECT_FALSE(table.Load(98));
    EXPECT_EQ(table.LoadAll(), -1);
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{Undefined, "A sound was asked for that se.csv does not list.",
                                                       "A sound file could not be loaded."}));
}

}  // namespace
