// What the mixer outputs, heard through SDL's disk driver: a sample read from
// an archive member through the stream reaches the output unchanged.

#include "sound/AudioDevice.h"
#include "sound/Chunk.h"

#include "../files/ArchiveTestSupport.h"
#include "SoundTestSupport.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

namespace {

TEST(HearTest, PlayedSampleReachesTheOutput)
{
    ArchiveTest::TempFolder temp;
    // The output goes to a file of this test's own, written at about real
    // time (46 ms per 1024-frame buffer).
    const std::string output = temp.Unix() + "/output.raw";
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "46", 1);
    ASSERT_TRUE(Mivo::AudioDevice::IsOpen()) << "needs SDL_AUDIODRIVER=disk";

    const int frames = 3000;
    temp.Write("bank.dat", SoundTest::StoredZip({{"tone.wav", SoundTest::MakeWav(frames, 5)}}));
    Mivo::Chunk chunk;
    ASSERT_TRUE(chunk.Load(temp.Windows("bank\\tone.wav").c_str()));
    ASSERT_GE(chunk.Play(0, -1), 0);

    // Device format and volume are the sample's own, so its frames come out
    // as they are, starting at a buffer boundary. Wait until they have been
    // written (at most a few seconds; the driver lags a buffer or two).
    const std::string expected = SoundTest::WavFrames(frames, 5);
    bool heard = false;
    for (int tries = 0; tries < 400 && !heard; ++tries) {
        heard = ArchiveTest::ReadUnixFile(output).find(expected) != std::string::npos;
        if (!heard)
            usleep(25000);
    }
    EXPECT_TRUE(heard);
}

}  // namespace
