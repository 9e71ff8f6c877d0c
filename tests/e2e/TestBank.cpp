#include "tests/e2e/TestBank.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>

namespace TestBank {
namespace {

void Put16(std::string& out, std::uint16_t v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}
void Put32(std::string& out, std::uint32_t v)
{
    Put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    Put16(out, static_cast<std::uint16_t>(v >> 16));
}

// 16-bit stereo PCM at the device's rate, both channels at level.
std::string Wav(int frames, int level)
{
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames) * 4;
    std::string out = "RIFF";
    Put32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    Put32(out, 16);
    Put16(out, 1);  // PCM
    Put16(out, 2);
    Put32(out, Rate);
    Put32(out, Rate * 4);
    Put16(out, 4);
    Put16(out, 16);
    out += "data";
    Put32(out, dataBytes);
    for (int i = 0; i < frames * 2; ++i)
        Put16(out, static_cast<std::uint16_t>(level));
    return out;
}

}  // namespace

void Write(const std::string& folder)
{
    std::filesystem::create_directories(folder + "/se");
    std::ofstream table(folder + "/se.csv", std::ios::binary);
    table << "# id, file\n";
    for (int id = FirstId; id <= LastId; ++id) {
        const std::string name = "s" + std::to_string(id) + ".wav";
        table << id << "," << name << "\n";
        std::ofstream(folder + "/se/" + name, std::ios::binary) << Wav(FramesOf(id), LevelOf(id));
    }
}

std::vector<std::string> DiskAudio(const std::string& file, int frames)
{
    const int delayMs = (frames * 1000 + Rate - 1) / Rate;
    return {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + file, "SDL_DISKAUDIODELAY=" + std::to_string(delayMs)};
}

}  // namespace TestBank
