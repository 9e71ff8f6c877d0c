// What the mixer outputs, heard through SDL's disk driver: a sample read from
// an archive member through the stream reaches the output unchanged.

#include "sound/AudioDevice.h"
#include "sound/Chunk.h"

#include "tests/support/ArchiveTestSupport.h"
#include "tests/support/SoundTestSupport.h"

#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

TEST(HearTest, PlayedSampleReachesTheOutput)
{
    TempFolder temp;
    // The output goes to a file of this test's own, written at about real
    // time (46 ms per 1024-frame buffer).
    const std::string output = temp.Path() + "/output.raw";
    test_system::SetEnvironment("SDL_DISKAUDIOFILE", output.c_str());
    test_system::SetEnvironment("SDL_DISKAUDIODELAY", "46");
    ASSERT_TRUE(Mivo::AudioDevice::IsOpen()) << "needs SDL_AUDIODRIVER=disk";

    const int frames = 3000;
    temp.Write("bank.dat", SoundTest::StoredZip({{"tone.wav", SoundTest::MakeWav(frames, 5)}}));
    Mivo::Chunk chunk;
    ASSERT_TRUE(chunk.Load(temp.Windows("bank\\tone.wav").c_str()));
    [[maybe_unused]] const std::uintmax_t before = std::filesystem::file_size(output);
    ASSERT_GE(chunk.Play(0, -1), 0);

    // Device format and volume are the sample's own, so its frames come out
    // as they are, starting at a buffer boundary. Wait until they have been
    // written: the driver lags a buffer or two, and a minute means it hangs.
    const std::string expected = SoundTest::WavFrames(frames, 5);
    const auto start = std::chrono::steady_clock::now();
    const auto waited = [&start] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    };
    bool heard = false;
#ifdef _WIN32
    // On Windows SDL keeps its output file to itself while the device is
    // open: it is read once the sample and a few buffers more have been
    // written, the sample freed and the device closed.
    const std::uintmax_t enough = before + expected.size() + 8 * 1024 * 4;
    while (std::filesystem::file_size(output) < enough && waited() < 60000)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    chunk.Free();
    Mix_CloseAudio();
    heard = ArchiveTest::ReadUnixFile(output).find(expected) != std::string::npos;
#else
    while (!(heard = ArchiveTest::ReadUnixFile(output).find(expected) != std::string::npos) && waited() < 60000)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
#endif
    EXPECT_TRUE(heard) << "not in the output after " << waited() << " ms";
}

}  // namespace
