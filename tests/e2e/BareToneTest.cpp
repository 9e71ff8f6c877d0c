// bare_tone is the floor that heard_timing sets beside the program: its
// clicks must start on the first frame of a mix, one for each stamp it prints
// and each as long as it says, and its tone must have no gap, or the floor
// would read better or worse than the path it stands for.

#include "tests/e2e/MixedOutput.h"
#include "tests/e2e/SoundServer.h"
#include "tests/e2e/TestBank.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct BareToneCase {
    const char* name;
    int buffer;
    int clickEveryMs;  // 0: the tone
};

void PrintTo(const BareToneCase& c, std::ostream* out)
{
    *out << c.name;
}

class BareToneTest : public testing::TestWithParam<BareToneCase> {};

TEST_P(BareToneTest, PlaysThroughTheDiskDriverWhatItSays)
{
    const BareToneCase& c = GetParam();
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("bare-tone-test-" + std::to_string(getpid()) + "-" + c.name);
    std::filesystem::create_directories(folder);
    const std::string file = (folder / "out.raw").string();
    std::vector<std::string> command = {BARE_TONE, std::to_string(c.buffer), "3"};
    if (c.clickEveryMs > 0)
        command.push_back(std::to_string(c.clickEveryMs));
    std::string printed;
    {
        Helper tone(command, TestBank::DiskAudio(file, c.buffer), true);
        while (tone.Running())
            usleep(20 * 1000);
        printed = tone.Printed();
    }
    const std::size_t stamps = Stamps(printed).size();

    const MixedOutput output(file);
    std::vector<Step> steps = output.Steps();
    ASSERT_FALSE(steps.empty()) << printed;
    if (c.clickEveryMs == 0) {
        EXPECT_EQ(stamps, 0u);
        EXPECT_EQ(steps.size(), 1u) << "the tone broke";  // its start only: the file ends while it sounds
        EXPECT_EQ(steps[0].frame % c.buffer, 0);
    } else {
        EXPECT_EQ(stamps, static_cast<std::size_t>((3000 - 1000) / c.clickEveryMs));
        ASSERT_EQ(steps.size(), 2u * stamps) << "a rise and a fall for each click";
        for (std::size_t i = 0; i + 1 < steps.size(); i += 2) {
            EXPECT_EQ(steps[i].delta, TestBank::LevelOf(0));
            EXPECT_EQ(steps[i].frame % c.buffer, 0) << "click " << i / 2 << " not at the start of a mix";
            EXPECT_EQ(steps[i + 1].frame - steps[i].frame, TestBank::Rate / 20) << "click " << i / 2;
        }
    }
    std::filesystem::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(Floors, BareToneTest,
                         testing::Values(BareToneCase{"tone", 256, 0}, BareToneCase{"clicks256", 256, 250},
                                         BareToneCase{"clicks1024", 1024, 300}),
                         [](const testing::TestParamInfo<BareToneCase>& info) { return std::string(info.param.name); });

}  // namespace
