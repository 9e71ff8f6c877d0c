// The default sound bank as the build left it beside the program: table,
// archive, and the sound of every sample (tuning, decay, levels).

#include "tests/tools/BankFiles.h"
#include "tests/tools/PitchMeter.h"

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

struct Row {
    int id;
    std::string name;
};

// se.csv and se.dat of the build, read and checked once.
struct Bank {
    std::vector<std::string> comments;
    std::vector<Row> rows;
    std::map<std::string, Bytes> members;
    std::string archiveError;

    Bank()
    {
        const Bytes text = ReadFileBytes(BankDir + "/se.csv");
        std::istringstream table(std::string(text.begin(), text.end()));
        for (std::string line; std::getline(table, line);) {
            if (!line.empty() && line[0] == '#') {
                comments.push_back(line);
            } else if (!line.empty()) {
                const auto comma = line.find(',');
                rows.push_back({comma == std::string::npos ? -1 : std::atoi(line.substr(0, comma).c_str()),
                                comma == std::string::npos ? line : line.substr(comma + 1)});
            }
        }
        std::vector<ZipMember> list;
        if (ParseStoredZip(ReadFileBytes(BankDir + "/se.dat"), list, archiveError))
            for (ZipMember& m : list)
                members.emplace(m.name, std::move(m.data));
    }

    Wav Sample(int id) const
    {
        Wav wav;
        std::string why;
        const auto member = members.find(rows.at(id).name);
        if (member == members.end() || !ParseWav(member->second, wav, why))
            ADD_FAILURE() << "sample " << id << ": " << (member == members.end() ? "missing" : why);
        return wav;
    }
};

const Bank& TheBank()
{
    static const Bank bank;
    return bank;
}

double Rms(const std::vector<double>& x, double fromSeconds, double toSeconds)
{
    const auto from = std::min(x.size(), static_cast<std::size_t>(fromSeconds * Rate));
    const auto to = std::min(x.size(), static_cast<std::size_t>(toSeconds * Rate));
    double sum = 0.0;
    for (auto i = from; i < to; ++i)
        sum += x[i] * x[i];
    return to > from ? std::sqrt(sum / (to - from)) : 0.0;
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

int RunGenerator(const std::string& arguments)
{
    const int status = std::system(("'" + std::string(BANK_GENERATOR) + "' " + arguments + " 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
    const Bank& bank = TheBank();
    ASSERT_TRUE(bank.archiveError.empty()) << bank.archiveError;
    EXPECT_FALSE(bank.comments.empty());
    for (const std::string& line : bank.comments)
        for (char c : line)  // a quote in a comment would open a field spanning lines
            EXPECT_TRUE(c >= 0x20 && c < 0x7F && c != '"') << line;
    ASSERT_EQ(bank.rows.size(), static_cast<std::size_t>(NoteCount + EffectCount));
    std::set<std::string> names;
    for (std::size_t i = 0; i < bank.rows.size(); ++i) {
        const Row& row = bank.rows[i];
        EXPECT_EQ(row.id, static_cast<int>(i));
        EXPECT_TRUE(std::all_of(row.name.begin(), row.name.end(), [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.';
        })) << row.name;
        EXPECT_TRUE(row.name.ends_with(".wav")) << row.name;
        EXPECT_TRUE(names.insert(row.name).second) << "named twice: " << row.name;
        EXPECT_TRUE(bank.members.contains(row.name)) << "not in se.dat: " << row.name;
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

TEST(SoundBank, NotesAreInTuneAndRingWithADecay)
{
    double worstCents = 0.0;
    for (int id = 0; id < NoteCount; ++id) {
        const Wav wav = TheBank().Sample(id);
        const std::vector<double>& x = wav.samples;
        ASSERT_EQ(wav.sampleRate, Rate);
        ASSERT_GE(x.size(), static_cast<std::size_t>(1.8 * Rate)) << id;
        EXPECT_LE(x.size(), static_cast<std::size_t>(2.5 * Rate)) << id;

        const double expected = 440.0 * std::pow(2.0, (id + 40 - 69) / 12.0);
        const double cents = CentsBetween(MeasurePitch(Slice(x, 0.05, 0.55), Rate), expected);
        EXPECT_NEAR(cents, 0.0, 5.0) << "note " << id + 40;
        worstCents = std::max(worstCents, std::abs(cents));

        const auto onset = std::find_if(x.begin(), x.end(), [&](double v) { return std::abs(v) > 0.1 * Peak(x); });
        EXPECT_LT(onset - x.begin(), 0.005 * Rate) << "late start, note " << id + 40;
        const double seconds = static_cast<double>(x.size()) / Rate;
        const double early = Rms(x, 0.02, 0.22), late = Rms(x, seconds - 0.2, seconds);
        EXPECT_LT(late, early / 10.0) << "no decay, note " << id + 40;
        EXPECT_GT(Rms(x, 1.0, 1.2), early / 100.0) << "dies too soon, note " << id + 40;
        EXPECT_EQ(x.back(), 0.0) << "does not end at zero, note " << id + 40;
    }
    std::cout << "worst tuning error: " << worstCents << " cents\n";
}

TEST(SoundBank, SixStringsAndTwoEffectsNeverClip)
{
    std::vector<double> notePeaks, effectPeaks;
    for (int id = 0; id < NoteCount + EffectCount; ++id) {
        const double peak = Peak(TheBank().Sample(id).samples);
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
    std::cout << "loudest note " << Decibels(notePeaks[0]) << " dBFS, loudest effect " << Decibels(effectPeaks[0])
              << " dBFS, 6 + 2 peaks sum to " << sum << "\n";
}

TEST(SoundBank, EffectsAreShortAndUnlikeEachOther)
{
    std::vector<std::pair<double, double>> shapes;  // seconds, brightness
    for (int id = NoteCount; id < NoteCount + EffectCount; ++id) {
        const std::vector<double> x = TheBank().Sample(id).samples;
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

TEST(BankGenerator, RebuildsTheSameBytesAndWritesTheFolder)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("bank_test_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    ASSERT_EQ(RunGenerator("--folder '" + dir.string() + "'"), 0);
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

TEST(BankGenerator, RefusesBadArgumentsAndUnwritableFolders)
{
    EXPECT_EQ(RunGenerator(""), 2);
    EXPECT_EQ(RunGenerator("--bogus /tmp/x"), 2);
    // A folder that cannot exist: its parent is a regular file.
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("bank_file_" + std::to_string(getpid()));
    {
        std::ofstream(file) << "x";
    }
    EXPECT_EQ(RunGenerator("'" + (file / "out").string() + "'"), 1);
    EXPECT_FALSE(std::filesystem::exists(file / "out"));
    std::filesystem::remove(file);
}

}  // namespace
