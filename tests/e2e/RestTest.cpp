// The device's rest, through a private PulseAudio server at the bank's rate:
// once nothing has sounded for a while the program's stream is corked, and the
// first stroke after the rest sounds whole, its strings at the interval.

#include "tests/e2e/PlayerRun.h"
#include "tests/e2e/SoundServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::vector<int> CMajor = {0, 8, 12, 15, 20, 24};

TEST(Rest, AQuietDeviceRestsCorkedAndTheNextStrokeWakesItOnItsFrames)
{
    const std::string folder = (std::filesystem::temp_directory_path() / "strumkey-rest-test").string();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    {
        SoundServer server(SoundServer::PulseAudio, SoundServer::Exact, folder);
        if (!server.Ready())
            GTEST_SKIP() << "no PulseAudio server (pulseaudio and pactl are needed)";
        PlayerRun run;
        run.WriteSettings(SettingsText({"Interval=25"}));
        run.SetEnvironment("SDL_AUDIODRIVER=pulse");
        run.SetEnvironment("PULSE_SERVER=" + server.Address());
        const std::string recording = folder + "/heard.raw";
        // Whether the server ever saw the program's stream corked.
        std::atomic<bool> corked = false, done = false;
        std::thread watch([&] {
            while (!done && !corked) {
                corked = Output("pactl --server=" + server.Address() + " list sink-inputs").find("Corked: yes") !=
                         std::string::npos;
                usleep(200 * 1000);
            }
        });
        {
            MonitorRecording monitor(server, recording);
            ASSERT_TRUE(monitor.Started());
            run.Play({"wait 500", "tap c", "settle", "resting", "wait 7000", "resting", "tap c", "settle", "resting",
                      "wait 300", "close"});
            usleep(100 * 1000);
        }
        done = true;
        watch.join();
        EXPECT_EQ(run.Lines("resting "), (std::vector<std::string>{"no", "yes", "no"}));
        EXPECT_TRUE(corked) << "the stream was never corked while the program rested";
        std::vector<Onset> notes;
        for (const Onset& onset : MixedOutput(recording).Onsets(128))
            if (onset.id >= 0 && onset.id <= 30)
                notes.push_back(onset);
        ASSERT_EQ(notes.size(), 12u) << "two strokes of six strings";
        for (std::size_t i = 0; i < notes.size(); ++i) {
            EXPECT_EQ(notes[i].id, CMajor[i % 6]) << "string " << i;
            // 25 ms at 22050 Hz is 551.25 frames: the strings land on the
            // frame nearest to their time.
            if (i % 6 != 0) {
                EXPECT_NEAR(notes[i].frame - notes[i - 1].frame, 551.25, 1.0) << "string " << i;
            }
        }
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
