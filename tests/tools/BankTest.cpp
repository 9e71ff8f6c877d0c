// The default sound bank as the build left it beside the program: table,
// archive, and the sound of every sample (tuning, decay, levels).

#include "tests/tools/BankFiles.h"
#include "tests/tools/PitchMeter.h"
#include "tools/NoteShaping.h"
#include "tools/SoundMeasures.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <numbers>
#include <set>
#include <sstream>

namespace {

constexpr int Rate = 22050;
constexpr int NoteCount = 31;
constexpr int EffectCount = 10;
const std::string BankDir = BANK_DIR;

// The bank the build put beside the program, and the synthesized bank (the
// build's fallback when there is no SoundFont).
enum class Source { Built, Synthesized };

int RunGenerator(const std::string& arguments)
{
    const int status = std::system(("'" + std::string(BANK_GENERATOR) + "' " + arguments + " 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::filesystem::path TempPath(const std::string& stem)
{
    return std::filesystem::temp_directory_path() / (stem + "_" + std::to_string(getpid()));
}

const BankOnDisk& BankOf(Source source)
{
    static const BankOnDisk built(BankDir);
    static const BankOnDisk synthesized(SYNTHESIZED_BANK_DIR);
    return source == Source::Built ? built : synthesized;
}

const BankOnDisk& TheBank()
{
    return BankOf(Source::Built);
}

std::vector<double> Sample(const BankOnDisk& bank, int id)
{
    Wav wav;
    std::string why;
    if (!bank.Sample(id, wav, why))
        ADD_FAILURE() << "sample " << id << ": " << why;
    EXPECT_EQ(wav.sampleRate, Rate) << id;
    return wav.samples;
}

double Peak(const std::vector<double>& x)
{
    double peak = 0.0;
    for (double v : x)
        peak = std::max(peak, std::abs(v));
    return peak;
}

double Decibels(double level)
{
    return 20.0 * std::log10(level / 32768.0);
}

// RMS frequency of the signal, from the energy of its slope: a spectral
// centroid-like measure of brightness that needs no transform.
double Brightness(const std::vector<double>& x)
{
    double energy = 0.0, slope = 0.0;
    for (std::size_t i = 1; i < x.size(); ++i) {
        energy += x[i] * x[i];
        slope += (x[i] - x[i - 1]) * (x[i] - x[i - 1]);
    }
    return std::sqrt(slope / energy) * Rate / (2.0 * std::numbers::pi);
}

std::vector<double> Slice(const std::vector<double>& x, double fromSeconds, double toSeconds)
{
    return {x.begin() + static_cast<long>(fromSeconds * Rate), x.begin() + static_cast<long>(toSeconds * Rate)};
}

TEST(PitchMeter, MeasuresSynthesizedTonesExactly)
{
    // A pure sine, a sine in noise, and a decaying harmonic tone whose
    // fundamental is weaker than its second partial.
    struct Case {
        double hz;
        std::function<double(double t, double hz)> tone;
    };
    const Case cases[] = {
        {82.4069, [](double t, double hz) { return std::sin(2 * std::numbers::pi * hz * t); }},
        {466.1638, [](double t, double hz) { return std::sin(2 * std::numbers::pi * hz * t + 1.0); }},
        {300.7,
         [](double t, double hz) {
             static unsigned noise = 1;
             noise = noise * 1664525u + 1013904223u;
             return std::sin(2 * std::numbers::pi * hz * t) + 0.3 * (noise / 2147483648.0 - 1.0);
         }},
        {123.47,
         [](double t, double hz) {
             double v = 0.0;
             for (int k = 1; k <= 20; ++k)
                 v += (k == 1 ? 0.3 : 1.0 / k) * std::exp(-t * (2.0 + k)) *
                      std::sin(2 * std::numbers::pi * k * hz * t + k);
             return v;
         }},
    };
    for (const Case& c : cases) {
        std::vector<double> x(Rate / 2);
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] = c.tone(static_cast<double>(i) / Rate, c.hz);
        EXPECT_NEAR(CentsBetween(MeasurePitch(x, Rate), c.hz), 0.0, 0.2) << c.hz << " Hz";
    }
}

TEST(SoundBank, TableListsEveryIdentifierWithAFileInTheArchive)
{
    const BankOnDisk& bank = TheBank();
    ASSERT_TRUE(bank.archiveError.empty()) << bank.archiveError;
    EXPECT_FALSE(bank.comments.empty());
    for (const std::string& line : bank.comments)
        for (char c : line)  // a quote in a comment would open a field spanning lines
            EXPECT_TRUE(c >= 0x20 && c < 0x7F && c != '"') << line;
    ASSERT_EQ(bank.rows.size(), static_cast<std::size_t>(NoteCount + EffectCount));
    std::set<std::string> names;
    for (std::size_t i = 0; i < bank.rows.size(); ++i) {
        const auto& [id, name] = bank.rows[i];
        EXPECT_EQ(id, static_cast<int>(i));
        EXPECT_TRUE(std::all_of(name.begin(), name.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.';
        })) << name;
        EXPECT_TRUE(name.ends_with(".wav")) << name;
        EXPECT_TRUE(names.insert(name).second) << "named twice: " << name;
        EXPECT_TRUE(bank.members.contains(name)) << "not in se.dat: " << name;
    }
    EXPECT_EQ(bank.members.size(), names.size());
}

// The archive checks above are only worth something if the checker rejects
// the faults the program's reader cannot cope with.
TEST(SoundBank, ArchiveCheckerRejectsBrokenArchives)
{
    const Bytes good = ReadFileBytes(BankDir + "/se.dat");
    ASSERT_GT(good.size(), 200u);
    const std::size_t directory = good[good.size() - 6] | good[good.size() - 5] << 8 | good[good.size() - 4] << 16 |
                                  static_cast<std::size_t>(good[good.size() - 3]) << 24;
    struct Fault {
        const char* what;
        std::function<void(Bytes&)> apply;
    } const faults[] = {
        {"a flipped data byte", [](Bytes& z) { z[100] ^= 1; }},
        {"deflate as method", [&](Bytes& z) { z[directory + 10] = 8; }},
        {"a data descriptor flag", [&](Bytes& z) { z[directory + 8] |= 8; }},
        {"a local extra field length of its own", [](Bytes& z) { z[28] = 4; }},
        {"leading data", [](Bytes& z) { z.insert(z.begin(), 4, 0); }},
        {"trailing data after the end record", [](Bytes& z) { z.push_back(0); }},
    };
    std::vector<ZipMember> members;
    std::string why;
    ASSERT_TRUE(ParseStoredZip(good, members, why)) << why;
    for (const Fault& fault : faults) {
        Bytes broken = good;
        fault.apply(broken);
        members.clear();
        EXPECT_FALSE(ParseStoredZip(broken, members, why)) << fault.what;
    }
}

TEST(SoundBank, UnzipAcceptsTheArchive)
{
    if (std::system("command -v unzip >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "unzip is not installed";
    EXPECT_EQ(std::system(("unzip -tqq '" + BankDir + "/se.dat' >/dev/null 2>&1").c_str()), 0);
}

std::string SourceName(Source source)
{
    return source == Source::Built ? "Built" : "Synthesized";
}

// Every note of both banks: what a player would hear as a fault.
class EveryNote : public testing::TestWithParam<std::tuple<Source, int>> {};

TEST_P(EveryNote, IsInTuneStartsAtOnceRingsOutAndMatchesItsNeighbour)
{
    const auto [source, id] = GetParam();
    const BankOnDisk& bank = BankOf(source);
    const std::vector<double> x = Sample(bank, id);
    ASSERT_FALSE(x.empty());
    // A recorded string is sharp while it is struck hard and settles (the
    // SoundFont's guitar by up to 17 cents); a synthesized one is exact.
    const bool recorded = source == Source::Built && !std::string(BANK_SOUNDFONT).empty();
    const double expected = 440.0 * std::pow(2.0, (id + 40 - 69) / 12.0);
    EXPECT_NEAR(CentsBetween(MeasurePitch(Slice(x, 0.05, 0.55), Rate), expected), 0.0, recorded ? 20.0 : 5.0);

    // Heard on the frame it is placed on, and no click at either end.
    EXPECT_LE(OnsetSample(x) * 1000.0 / Rate, LatestOnsetMilliseconds);
    const EdgeLevels edges = EdgeLevelsOf(x);
    EXPECT_LE(edges.firstSample, QuietestEdgeDb);
    EXPECT_LE(edges.lastTenMilliseconds, QuietestEdgeDb) << "cut, not faded";
    EXPECT_LE(edges.endDc, QuietestEdgeDb);

    // Rings a while, then dies away.
    const double seconds = static_cast<double>(x.size()) / Rate;
    EXPECT_GE(seconds, MinNoteSeconds - 0.01);
    EXPECT_LE(seconds, MaxNoteSeconds + 0.01);
    EXPECT_GT(LevelAt(x, 1.0), -30.0) << "dies too soon";
    EXPECT_LT(LevelAt(x, seconds - 0.2), LevelAt(x, 0.1) - 20.0) << "no decay";

    if (id + 1 < NoteCount) {
        EXPECT_NEAR(NoteLoudness(Sample(bank, id + 1)), NoteLoudness(x), 1.0) << "loudness jumps to the next note";
    }
}

INSTANTIATE_TEST_SUITE_P(Banks, EveryNote,
                         testing::Combine(testing::Values(Source::Built, Source::Synthesized),
                                          testing::Range(0, NoteCount)),
                         [](const auto& info) {
                             return SourceName(std::get<0>(info.param)) + "Note" +
                                    std::to_string(std::get<1>(info.param) + 40);
                         });

class WholeBank : public testing::TestWithParam<Source> {};

TEST_P(WholeBank, SixStringsAndTwoEffectsNeverClip)
{
    std::vector<double> notePeaks, effectPeaks;
    for (int id = 0; id < NoteCount + EffectCount; ++id) {
        const double peak = Peak(Sample(BankOf(GetParam()), id));
        EXPECT_GT(Decibels(peak), -24.0) << "too quiet: " << id;
        (id < NoteCount ? notePeaks : effectPeaks).push_back(peak);
    }
    std::sort(notePeaks.rbegin(), notePeaks.rend());
    std::sort(effectPeaks.rbegin(), effectPeaks.rend());
    ASSERT_GE(notePeaks.size(), 6u);
    ASSERT_GE(effectPeaks.size(), 2u);
    double sum = effectPeaks[0] + effectPeaks[1];
    for (int i = 0; i < 6; ++i)
        sum += notePeaks[i];
    EXPECT_LE(sum, 32767.0);
}

TEST_P(WholeBank, EffectsAreShortAndUnlikeEachOther)
{
    std::vector<std::pair<double, double>> shapes;  // seconds, brightness
    for (int id = NoteCount; id < NoteCount + EffectCount; ++id) {
        const std::vector<double> x = Sample(BankOf(GetParam()), id);
        ASSERT_FALSE(x.empty());
        const double seconds = static_cast<double>(x.size()) / Rate;
        EXPECT_LT(seconds, 1.0) << id;
        EXPECT_EQ(x.back(), 0.0) << id;
        shapes.push_back({seconds, Brightness(x)});
    }
    for (std::size_t a = 0; a < shapes.size(); ++a)
        for (std::size_t b = a + 1; b < shapes.size(); ++b) {
            const bool lengthDiffers = std::abs(shapes[a].first - shapes[b].first) >= 0.02;
            const double ratio = shapes[a].second / shapes[b].second;
            EXPECT_TRUE(lengthDiffers || ratio > 1.1 || ratio < 1 / 1.1)
                << "effects " << NoteCount + a << " and " << NoteCount + b << " are alike";
        }
}

INSTANTIATE_TEST_SUITE_P(Banks, WholeBank, testing::Values(Source::Built, Source::Synthesized),
                         [](const auto& info) { return SourceName(info.param); });

TEST(BankGenerator, RebuildsTheSameBytesAndWritesTheFolder)
{
    const std::filesystem::path dir = TempPath("bank_test");
    std::filesystem::remove_all(dir);
    ASSERT_EQ(RunGenerator(std::string(BANK_ARGUMENTS) + " --folder '" + dir.string() + "'"), 0);
    EXPECT_EQ(ReadFileBytes(dir / "se.dat"), ReadFileBytes(BankDir + "/se.dat"));
    EXPECT_EQ(ReadFileBytes(dir / "se.csv"), ReadFileBytes(BankDir + "/se.csv"));
    for (const auto& [name, data] : TheBank().members)
        EXPECT_EQ(ReadFileBytes(dir / "se" / name), data) << name;
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, TheBank().members.size() + 2) << "stray files left behind";
    std::filesystem::remove_all(dir);
}

// Bad arguments (2) and a SoundFont or folder it cannot use (1): a clear
// error, and nothing written.
TEST(BankGenerator, RefusesWhatItCannotUseAndWritesNothing)
{
    const std::filesystem::path dir = TempPath("bank_refusals");
    std::filesystem::create_directories(dir);
    const std::string out = "'" + (dir / "out").string() + "'";
    const std::string soundFont = BANK_SOUNDFONT;
    {
        std::ofstream(dir / "text.sf2") << "not a SoundFont\n";
        std::ifstream whole(soundFont, std::ios::binary);
        std::vector<char> head(100000);
        whole.read(head.data(), static_cast<std::streamsize>(head.size()));
        std::ofstream(dir / "cut.sf2", std::ios::binary).write(head.data(), whole.gcount());
    }
    struct Case {
        std::string arguments;
        int exitCode;
        bool needsSoundFont;
    } const cases[] = {
        {"", 2, false},
        {"--bogus " + out, 2, false},
        {"--program 25 " + out, 2, false},
        {"--soundfont '" + soundFont + "' --program 128 " + out, 2, true},
        {"--soundfont '" + (dir / "missing.sf2").string() + "' " + out, 1, false},
        {"--soundfont '" + (dir / "text.sf2").string() + "' " + out, 1, false},
        {"--soundfont '" + (dir / "cut.sf2").string() + "' " + out, 1, true},
        {"--soundfont '" + soundFont + "' --bank 9 --program 127 " + out, 1, true},
        {"'" + (dir / "text.sf2" / "out").string() + "'", 1, false},  // its parent is a file
    };
    for (const Case& c : cases) {
        if (c.needsSoundFont && soundFont.empty())
            continue;
        EXPECT_EQ(RunGenerator(c.arguments), c.exitCode) << c.arguments;
        EXPECT_FALSE(std::filesystem::exists(dir / "out")) << c.arguments;
        std::filesystem::remove_all(dir / "out");
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
