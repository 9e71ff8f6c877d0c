// The audio device and chunks on SDL's dummy driver: a real mixer that plays
// nothing out loud.

#include "sound/AudioDevice.h"
#include "sound/Chunk.h"

#include "files/MappedFile.h"

#include "tests/support/ArchiveTestSupport.h"
#include "tests/support/SoundTestSupport.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <set>

using Mivo::Chunk;

namespace {

class ChunkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Mivo::AudioDevice::IsOpen()) << SDL_GetError();
        Mix_HaltChannel(-1);
        Mix_Resume(-1);
        // The mixer stamps a pause with SDL's tick count, and a stamp of 0
        // reads back as "not paused": let the first millisecond pass.
        while (SDL_GetTicks() == 0)
            SDL_Delay(1);
        temp.Write("a.wav", SoundTest::MakeWav(2000, 1));
        temp.Write("b.wav", SoundTest::MakeWav(2000, 2));
        temp.Write("bank.dat", SoundTest::StoredZip({{"c.wav", SoundTest::MakeWav(500, 3)}}));
        temp.Write("broken.wav", "RIFF this is no sound");
        temp.Write("text.wav", "neither a header nor a sound, just text");
    }
    void TearDown() override { Mix_HaltChannel(-1); }

    std::string Path(const char* name) const { return temp.Windows(name); }
    TempFolder temp;
};

TEST_F(ChunkTest, DeviceHasTheProgramsFormat)
{
    int frequency = 0;
    Uint16 format = 0;
    int channels = 0;
    EXPECT_EQ(Mix_QuerySpec(&frequency, &format, &channels), 1);
    EXPECT_EQ(frequency, 22050);
    EXPECT_EQ(format, AUDIO_S16LSB);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(Mix_AllocateChannels(-1), 16);
}

TEST_F(ChunkTest, LoadsFromDiskAndArchiveAndReleasesTheFile)
{
    struct Case {
        const char* name;
        bool loads;
    } cases[] = {
        {"a.wav", true}, {"bank\\c.wav", true}, {"missing.wav", false}, {"broken.wav", false}, {"text.wav", false}};
    for (const Case& c : cases) {
        Chunk chunk;
        EXPECT_EQ(chunk.Load(Path(c.name).c_str()), c.loads) << c.name;
        const int channel = chunk.Play(-1, -1);
        EXPECT_EQ(channel >= 0, c.loads) << c.name;
        if (channel >= 0) {
            EXPECT_EQ(Mix_Playing(channel), 1);
        }
    }
    // The mixer closed the streams, loaded or not: the files are free again.
    for (const char* name : {"a.wav", "broken.wav", "text.wav"}) {
        Mivo::MappedFile file;
        EXPECT_TRUE(file.Open(Path(name).c_str())) << name;
    }
}

TEST_F(ChunkTest, TakesChannelZeroWhenEveryChannelIsBusy)
{
    Chunk a;
    Chunk b;
    ASSERT_TRUE(a.Load(Path("a.wav").c_str()));
    ASSERT_TRUE(b.Load(Path("b.wav").c_str()));
    const int channels = Mix_AllocateChannels(-1);
    std::set<int> used;
    for (int i = 0; i < channels; ++i)
        used.insert(a.Play(-1, -1));
    EXPECT_EQ(used.size(), static_cast<std::size_t>(channels));
    // A channel plays a window on its sample, which ends where the sample does.
    const auto end = [](int channel) { return Mix_GetChunk(channel)->abuf + Mix_GetChunk(channel)->alen; };
    const Uint8* const aEnd = end(0);

    EXPECT_EQ(b.Play(0, -1), 0);
    EXPECT_NE(end(0), aEnd);
    for (int i = 1; i < channels; ++i)
        EXPECT_EQ(end(i), aEnd) << i;
    EXPECT_EQ(Mix_Playing(-1), channels);
}

TEST_F(ChunkTest, FreeingASoundingChunkPausesItsChannels)
{
    Chunk a;
    Chunk b;
    ASSERT_TRUE(a.Load(Path("a.wav").c_str()));
    ASSERT_TRUE(b.Load(Path("b.wav").c_str()));
    const int a1 = a.Play(-1, -1);
    const int bChannel = b.Play(-1, -1);
    const int a2 = a.Play(-1, -1);
    ASSERT_GE(a1, 0);
    ASSERT_GE(a2, 0);
    ASSERT_GE(bChannel, 0);

    a.Free();
    EXPECT_EQ(Mix_Paused(a1), 1);
    EXPECT_EQ(Mix_Paused(a2), 1);
    EXPECT_EQ(Mix_Playing(a1), 0);
    EXPECT_EQ(Mix_Paused(bChannel), 0);
    EXPECT_EQ(Mix_Playing(bChannel), 1);
    EXPECT_EQ(a.Play(0, -1), -1);  // nothing loaded any more

    // Loading again makes it playable; the freed channels are reused.
    ASSERT_TRUE(a.Load(Path("bank\\c.wav").c_str()));
    EXPECT_GE(a.Play(0, -1), 0);
}

}  // namespace
