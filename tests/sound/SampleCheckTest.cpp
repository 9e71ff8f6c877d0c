// The header check before the mixer: on the program's device (22050 Hz,
// 16-bit, stereo), damaged headers are refused, and every sample the mixer
// loads still loads, however odd.

#include "sound/AudioDevice.h"
#include "sound/Chunk.h"
#include "sound/ResourceStream.h"
#include "sound/SampleCheck.h"

#include "tests/support/ArchiveTestSupport.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>

namespace {

std::string Le(std::uint32_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

struct Format {
    int tag = 1, channels = 2;
    std::uint32_t rate = 22050;
    int bits = 16, align = -1;
    std::string extra = {};  // after the 16 common bytes
    int fmtLength = -1, dataBytes = 400;
    std::int64_t dataLength = -1;
};

std::string Wav(const Format& f)
{
    const int align = f.align >= 0 ? f.align : f.channels * f.bits / 8;
    std::string fmt = Le(f.tag, 2) + Le(f.channels, 2) + Le(f.rate, 4) + Le(f.rate * align, 4) + Le(align, 2) +
                      Le(f.bits, 2) + f.extra;
    fmt.resize(f.fmtLength >= 0 ? f.fmtLength : fmt.size());
    const std::string data(f.dataBytes, '\x01');
    const auto length = static_cast<std::uint32_t>(f.dataLength >= 0 ? f.dataLength : f.dataBytes);
    const std::string body = "WAVEfmt " + Le(fmt.size(), 4) + fmt + "data" + Le(length, 4) + data;
    return "RIFF" + Le(body.size(), 4) + body;
}

// An Ogg page holding only a Vorbis identification header.
std::string VorbisId(int channels, std::uint32_t rate)
{
    const std::string id = "\x01vorbis" + Le(0, 4) + Le(channels, 1) + Le(rate, 4) + std::string(13, '\0') + "\x01";
    return "OggS" + std::string(1, '\0') + "\x02" + std::string(20, '\0') + "\x01" + Le(id.size(), 1) + id;
}

std::string Be(std::uint32_t value, int bytes)
{
    std::string out = Le(value, bytes);
    return {out.rbegin(), out.rend()};
}

// 100 stereo 16-bit frames at 44100 Hz shifted down by shift octaves.
std::string Aiff(int channels, int shift)
{
    const std::string comm =
        Be(channels, 2) + Be(100, 4) + Be(16, 2) + "\x40" + Be(14 - shift, 1) + "\xAC\x44" + std::string(6, '\0');
    const std::string body = "AIFFCOMM" + Be(18, 4) + comm + "SSND" + Be(408, 4) + std::string(408, '\0');
    return "FORM" + Be(body.size(), 4) + body;
}

struct Case {
    const char* name;
    std::string bytes;
    bool passes;  // the check lets it through
    bool loads;   // and the mixer decodes it
};

void PrintTo(const Case& c, std::ostream* out)
{
    *out << c.name;
}

const std::string MsCoefficients = Le(32, 2) + Le(500, 2) + Le(7, 2) + Le(256, 4) + Le(512 | 0xFF000000u, 4) +
                                   std::string(4, '\0') + Le(192 | 64 << 16, 4) + Le(240, 4) +
                                   Le(460 | 0xFF300000u, 4) + Le(392 | 0xFF180000u, 4);

const Case Cases[] = {
    {"plain", Wav({}), true, true},
    {"8bit-mono-8000", Wav({.channels = 1, .rate = 8000, .bits = 8}), true, true},
    {"8ch-192000", Wav({.channels = 8, .rate = 192000}), true, true},
    {"8bit-8ch-400Hz-fills-the-plan", Wav({.channels = 8, .rate = 400, .bits = 8}), true, true},
    {"100Hz", Wav({.rate = 100}), true, true},
    {"10MHz", Wav({.rate = 10000000}), true, true},
    {"255-channels", Wav({.channels = 255, .dataBytes = 510}), true, true},
    {"ima-adpcm",
     Wav({.tag = 0x11, .channels = 1, .bits = 4, .align = 256, .extra = Le(2, 2) + Le(505, 2), .dataBytes = 256}), true,
     true},
    {"ms-adpcm", Wav({.tag = 2, .channels = 1, .bits = 4, .align = 256, .extra = MsCoefficients, .dataBytes = 256}),
     true, true},
    {"24bit-left-to-the-mixer", Wav({.bits = 24}), true, false},
    // Blocks far shorter than the samples they promise: the decoders refuse
    // them, and must free what they decoded so far (the sanitizer build
    // reports a leak).
    {"ima-adpcm-blocks-short-of-their-samples",
     Wav({.tag = 0x11, .channels = 1, .bits = 4, .align = 64, .extra = Le(2, 2) + Le(505, 2), .dataBytes = 256}), true,
     false},
    {"ms-adpcm-blocks-short-of-their-samples",
     Wav({.tag = 2, .channels = 1, .bits = 4, .align = 16, .extra = MsCoefficients, .dataBytes = 256}), true, false},
    {"rate-0", Wav({.rate = 0}), false, false},
    {"rate-1", Wav({.rate = 1}), false, false},
    {"rate-2147483647", Wav({.rate = 2147483647}), false, false},
    {"256-channels", Wav({.channels = 256, .align = 4}), false, false},
    {"8bit-8ch-300Hz", Wav({.channels = 8, .rate = 300, .bits = 8}), false, false},
    {"data-past-the-end", Wav({.dataLength = 0xFFFFFFFF}), false, false},
    {"fmt-of-14-bytes", Wav({.fmtLength = 14}), false, false},
    {"ima-block-align-0", Wav({.tag = 0x11, .bits = 4, .align = 0, .extra = Le(2, 2) + Le(505, 2)}), false, false},
    {"ms-adpcm-254-channels",
     Wav({.tag = 2, .channels = 254, .bits = 4, .align = 256, .extra = Le(32, 2) + Le(500, 2) + Le(0, 2)}), false,
     false},
    {"no-data-chunk", Wav({}).substr(0, 36), false, false},
    {"vorbis-44100", VorbisId(2, 44100), true, false},
    {"vorbis-10Hz", VorbisId(2, 10), false, false},
    {"aiff-44100", Aiff(2, 0), true, true},
    {"aiff-256-channels", Aiff(256, 0), false, false},
    {"aiff-5Hz", Aiff(2, 13), false, false},
    {"voc-block-past-the-end",
     std::string("Creative Voice File\x1a") + Le(26, 2) + Le(0x10a, 2) + Le(0x1233, 2) + "\x01\xFF\xFF\xFF\x83" +
         std::string(40, '\0'),
     false, false},
    // A silence block after a stereo block's rate of 256 (the loader divides
    // by 256 - rate), and silence alone (it divides by a sample size never
    // set).
    {"voc-silence-after-rate-256",
     std::string("Creative Voice File\x1a") + Le(26, 2) + Le(0x10a, 2) + Le(0x1233, 2) + "\x08" + Le(4, 3) +
         Le(256, 2) + Le(0x100, 2) + "\x03" + Le(3, 3) + Le(100, 2) + "\x83" + "\x01" + Le(12, 3) + "\x83" +
         std::string(11, '\0') + std::string(2, '\0'),
     false, false},
    // A mono extended block: the loader divides its rate by no channels.
    {"voc-mono-extended",
     std::string("Creative Voice File\x1a") + Le(26, 2) + Le(0x10a, 2) + Le(0x1233, 2) + "\x08" + Le(4, 3) +
         Le(0xD000, 2) + Le(0, 2) + "\x01" + Le(12, 3) + "\x83" + std::string(11, '\0') + std::string(2, '\0'),
     false, false},
    // Two sound blocks at different rates: the loader refuses the second and
    // must free the first.
    {"voc-rates-differ",
     std::string("Creative Voice File\x1a") + Le(26, 2) + Le(0x10a, 2) + Le(0x1233, 2) + "\x01" + Le(12, 3) + "\x83" +
         std::string(11, '\0') + "\x01" + Le(12, 3) + "\x84" + std::string(11, '\0') + std::string(2, '\0'),
     true, false},
    {"voc-silence-alone",
     std::string("Creative Voice File\x1a") + Le(26, 2) + Le(0x10a, 2) + Le(0x1233, 2) + "\x03" + Le(3, 3) +
         Le(100, 2) + "\x83" + std::string(2, '\0'),
     false, false},
};

class SampleCheckTest : public ::testing::TestWithParam<Case> {};

TEST_P(SampleCheckTest, RefusesWhatTheLibrariesDoNotSurvive)
{
    ASSERT_TRUE(Mivo::AudioDevice::IsOpen()) << SDL_GetError();
    TempFolder temp;
    temp.Write("s.wav", GetParam().bytes);
    const std::string path = temp.Windows("s.wav");

    SDL_RWops* stream = Mivo::OpenResourceStream(path.c_str());
    ASSERT_NE(stream, nullptr);
    SDL_RWseek(stream, 3, RW_SEEK_SET);
    Mivo::SampleHeaderIsSafe(stream);
    EXPECT_EQ(SDL_RWtell(stream), 3);
    SDL_RWseek(stream, 0, RW_SEEK_SET);
    EXPECT_EQ(Mivo::SampleHeaderIsSafe(stream), GetParam().passes);
    SDL_RWclose(stream);

    Mivo::Chunk chunk;
    EXPECT_EQ(chunk.Load(path.c_str()), GetParam().loads);
}

INSTANTIATE_TEST_SUITE_P(Headers, SampleCheckTest, ::testing::ValuesIn(Cases), [](const auto& info) {
    std::string name = info.param.name;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
});

}  // namespace
