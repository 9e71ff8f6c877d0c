// No usable audio device (SDL is told to use a driver that does not exist):
// the program runs silent, without a word.

#include "sound/AudioDevice.h"
#include "sound/Chunk.h"
#include "sound/SdlLibrary.h"
#include "sound/SoundTable.h"

#include "tests/support/ArchiveTestSupport.h"
#include "tests/support/SoundTestSupport.h"

#include <SDL_error.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <string>

// Built twice: with a driver that does not exist (the audio subsystem fails
// to start), and with the disk driver writing where no file can be made (the
// subsystem starts, the device fails to open).
#ifndef SILENT_SUITE
#define SILENT_SUITE SilentTest
#endif

namespace {

#ifdef SILENT_OUTPUT
// Before anything can open the device.
const bool outputNamed = test_system::SetEnvironment("SDL_DISKAUDIOFILE", SILENT_OUTPUT);
#endif

TEST(SILENT_SUITE, DeviceStaysClosedAndChunksLoadNothing)
{
    EXPECT_TRUE(Mivo::SdlLibrary::IsInitialised());
    EXPECT_FALSE(Mivo::AudioDevice::IsOpen());
    EXPECT_FALSE(Mivo::AudioDevice::IsOpen());  // never tried again
#ifdef SILENT_OUTPUT
    // The driver itself got as far as its output file.
    EXPECT_NE(std::string(SDL_GetError()).find(SILENT_OUTPUT), std::string::npos) << SDL_GetError();
#endif
    int frequency = 0;
    Uint16 format = 0;
    int channels = 0;
    EXPECT_EQ(Mix_QuerySpec(&frequency, &format, &channels), 0);

    Mivo::Chunk chunk;
    EXPECT_TRUE(chunk.Load("se\\no such file.wav"));
    EXPECT_EQ(chunk.Play(0, -1), -1);
    EXPECT_EQ(chunk.Play(-1, 3), -1);
    chunk.Free();
}

TEST(SILENT_SUITE, TableTreatsEverySampleAsLoaded)
{
    TempFolder temp;
    temp.Write("se.csv", "0,missing.wav\n5,also missing.wav\n7\n");
    SoundTest::CurrentFolder here(temp.Path());
    SoundTest::MessageBoxes boxes;
    SoundTable table;
    ASSERT_TRUE(table.ReadTable("se.csv"));
    EXPECT_EQ(table.LoadAll(), 3);
    EXPECT_TRUE(boxes.Texts().empty());
    for (int id : {0, 5, 7}) {
        Mivo::Chunk* const* found = table.Find(id);
        ASSERT_NE(found, nullptr);
        ASSERT_NE(*found, nullptr);
        EXPECT_EQ((*found)->Play(0, -1), -1);
    }
}

}  // namespace
