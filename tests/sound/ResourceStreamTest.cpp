// The SDL stream over resource files: read and seek arithmetic on a disk file
// and on an archive member, and who releases the file.

#include "sound/ResourceStream.h"

#include "files/MappedFile.h"
#include "files/ResourceFile.h"

#include "tests/support/ArchiveTestSupport.h"
#include "tests/support/SoundTestSupport.h"

#include <SDL_error.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

namespace {

const std::string Nine = "abcdefghi";

class ResourceStreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        temp.Write("disk.bin", Nine);
        temp.Write("pack.dat", SoundTest::StoredZip({{"member.bin", Nine}}));
    }
    TempFolder temp;
};

// Reads into a buffer with a guard behind the requested bytes.
struct Read {
    int result;
    std::string bytes;
};

Read ReadObjects(SDL_RWops* stream, int size, int count, int room)
{
    std::string buffer(room + 8, '#');
    const int result = stream->read(stream, buffer.data(), size, count);
    EXPECT_EQ(buffer.substr(room), std::string(8, '#')) << "wrote past the data read";
    const int copied = result > 0 ? result * size : 0;
    return {result, buffer.substr(0, copied)};
}

TEST_F(ResourceStreamTest, ReadsWholeObjectsAndSeeksFromBothEnds)
{
    for (const std::string& path : {temp.Windows("disk.bin"), temp.Windows("pack\\member.bin")}) {
        SCOPED_TRACE(path);
        SDL_RWops* stream = Mivo::OpenResourceStream(path.c_str());
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(stream->type, 0u);

        // 10 objects of 4 bytes with 9 left: 2 objects, the 9th byte stays.
        Read r = ReadObjects(stream, 4, 10, 8);
        EXPECT_EQ(r.result, 2);
        EXPECT_EQ(r.bytes, "abcdefgh");
        r = ReadObjects(stream, 1, 1, 1);
        EXPECT_EQ(r.result, 1);
        EXPECT_EQ(r.bytes, "i");
        EXPECT_EQ(ReadObjects(stream, 1, 5, 0).result, 0);  // at the end

        EXPECT_EQ(stream->seek(stream, 0, 0), 0);
        // Nothing to read for empty or negative requests, and no overflow in
        // size * maxnum.
        EXPECT_EQ(ReadObjects(stream, 0, 4, 0).result, 0);
        EXPECT_EQ(ReadObjects(stream, 4, 0, 0).result, 0);
        EXPECT_EQ(ReadObjects(stream, -1, 4, 0).result, 0);
        EXPECT_EQ(ReadObjects(stream, 4, -1, 0).result, 0);
        r = ReadObjects(stream, 2, INT_MAX, 8);
        EXPECT_EQ(r.result, 4);
        EXPECT_EQ(r.bytes, "abcdefgh");
        EXPECT_EQ(ReadObjects(stream, INT_MAX, 2, 0).result, 0);

        // Seeking: back from the position, from the last byte, a bad origin.
        EXPECT_EQ(stream->seek(stream, 0, 0), 0);
        EXPECT_EQ(ReadObjects(stream, 4, 1, 4).result, 1);
        EXPECT_EQ(stream->seek(stream, -4, 1), 0);
        EXPECT_EQ(stream->seek(stream, 3, 0), 3);
        SDL_ClearError();
        EXPECT_EQ(stream->seek(stream, 1, 3), -1);
        EXPECT_STREQ(SDL_GetError(), "seek error");
        EXPECT_EQ(stream->seek(stream, 0, 1), 3);  // unchanged
        EXPECT_EQ(stream->seek(stream, 0, 2), 8);  // origin 2 counts from the last byte
        r = ReadObjects(stream, 1, 4, 1);
        EXPECT_EQ(r.result, 1);
        EXPECT_EQ(r.bytes, "i");

        EXPECT_EQ(stream->write(stream, "x", 1, 1), -1);
        EXPECT_EQ(stream->close(stream), 0);
    }
}

// The stream moves exactly as the file beneath it does: the same clamping at
// both ends (a disk file may stand one past its last byte, an archive member
// not), and the next byte read is the file's next byte.
TEST_F(ResourceStreamTest, SeeksAsTheResourceFileDoes)
{
    struct Step {
        int offset;
        int whence;
    } steps[] = {
        {0, 0},   {4, 0}, {9, 0},  {20, 0}, {-5, 0}, {2, 1}, {-3, 1}, {-100, 1},
        {100, 1}, {0, 2}, {-8, 2}, {-9, 2}, {1, 2},  {5, 2}, {3, 0},  {0, 1},
    };
    for (const std::string& path : {temp.Windows("disk.bin"), temp.Windows("pack\\member.bin")}) {
        SCOPED_TRACE(path);
        SDL_RWops* stream = Mivo::OpenResourceStream(path.c_str());
        ASSERT_NE(stream, nullptr);
        // The stream holds the disk file exclusively: the oracle reads a copy
        // of it, or the same member of the same archive.
        const std::string oraclePath = path == temp.Windows("disk.bin") ? temp.Windows("copy.bin") : path;
        temp.Write("copy.bin", Nine);
        Mivo::ResourceFile oracle;
        ASSERT_TRUE(oracle.Open(oraclePath.c_str()));
        for (const Step& step : steps) {
            SCOPED_TRACE(testing::Message() << step.offset << " from " << step.whence);
            ASSERT_TRUE(oracle.Seek(step.offset, step.whence));
            EXPECT_EQ(stream->seek(stream, step.offset, step.whence), oracle.Tell());
            char expected = 0;
            const int oracleRead = oracle.Read(&expected, 1);
            const Read got = ReadObjects(stream, 1, 1, 1);
            EXPECT_EQ(got.result, oracleRead);
            if (oracleRead == 1) {
                EXPECT_EQ(got.bytes, std::string(1, expected));
            }
            // SDL asks for the position with a seek of 0 from the current one,
            // which an archive member clamps to its last byte, as the file does.
            ASSERT_TRUE(oracle.Seek(0, 1));
            EXPECT_EQ(stream->seek(stream, 0, 1), oracle.Tell());
        }
        stream->close(stream);
    }
}

TEST_F(ResourceStreamTest, CloseReleasesTheFileOnce)
{
    const std::string path = temp.Windows("disk.bin");
    SDL_RWops* stream = Mivo::OpenResourceStream(path.c_str());
    ASSERT_NE(stream, nullptr);
    Mivo::MappedFile other;
    // The stream holds the file exclusively until it is closed.
    EXPECT_FALSE(other.Open(path.c_str()));
    EXPECT_EQ(Mivo::StreamClose(stream), 0);
    EXPECT_TRUE(other.Open(path.c_str()));
    EXPECT_EQ(Mivo::StreamClose(nullptr), 0);
}

TEST_F(ResourceStreamTest, MissingPathSetsTheErrorText)
{
    for (const std::string& path : {temp.Windows("nothing.wav"), temp.Windows("pack\\nothing.wav")}) {
        SDL_ClearError();
        EXPECT_EQ(Mivo::OpenResourceStream(path.c_str()), nullptr);
        EXPECT_EQ(std::string(SDL_GetError()), "Couldn't open " + path);
    }
}

}  // namespace
