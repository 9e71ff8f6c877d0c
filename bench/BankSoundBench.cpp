// How the banks sound, side by side: the bank this build made, the
// synthesized bank and the SoundFont's guitar as recorded (2 s notes, nothing
// trimmed or levelled), plus any bank folders named on the command line.
//
//   bank_sound [FOLDER...]
//
// Figures are medians over the 31 notes unless they say otherwise. Prints its
// figures; there is nothing to time.

#include "tests/tools/BankFiles.h"
#include "tools/Bank.h"
#include "tools/SoundFontRenderer.h"
#include "tools/SoundMeasures.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

struct Column {
    std::string name;
    std::vector<Signal> notes;    // ids 0 to 30
    std::vector<Signal> effects;  // empty for the recording
};

bool ReadColumn(const std::string& name, const std::string& folder, Column& column)
{
    const BankOnDisk bank(folder);
    column.name = name;
    for (std::size_t row = 0; row < bank.rows.size(); ++row) {
        Wav wav;
        std::string why;
        if (!bank.Sample(row, wav, why)) {
            std::fprintf(stderr, "%s: %s\n", folder.c_str(), why.c_str());
            return false;
        }
        (row <= HighestNote - LowestNote ? column.notes : column.effects).push_back(wav.samples);
    }
    return column.notes.size() == HighestNote - LowestNote + 1;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? NAN : values[values.size() / 2];
}

double Worst(const std::vector<double>& values)
{
    return values.empty() ? NAN : *std::max_element(values.begin(), values.end());
}

std::vector<double> PerNote(const Column& column, const std::function<double(const Signal&)>& figure)
{
    std::vector<double> values;
    for (const Signal& note : column.notes)
        values.push_back(figure(note));
    return values;
}

std::vector<double> Steps(const std::vector<double>& values)
{
    std::vector<double> steps;
    for (std::size_t i = 1; i < values.size(); ++i)
        steps.push_back(std::abs(values[i] - values[i - 1]));
    return steps;
}

double StandardDeviation(const std::vector<double>& values)
{
    double mean = 0.0, square = 0.0;
    for (double v : values)
        mean += v / values.size();
    for (double v : values)
        square += (v - mean) * (v - mean) / values.size();
    return std::sqrt(square);
}

// The six loudest notes and two loudest effects at full strength, peaks
// aligned: the most a strum can reach, in percent of full scale.
double StrumPeakPercent(const Column& column)
{
    if (column.effects.size() < 2)
        return NAN;
    std::vector<double> notes = PerNote(column, PeakOf), effects;
    for (const Signal& effect : column.effects)
        effects.push_back(PeakOf(effect));
    std::sort(notes.rbegin(), notes.rend());
    std::sort(effects.rbegin(), effects.rend());
    double sum = effects[0] + effects[1];
    for (int i = 0; i < 6; ++i)
        sum += notes[i];
    return 100.0 * sum / 32767.0;
}

// What the program keeps in memory: every sample decoded to 16-bit stereo.
double DecodedMegabytes(const Column& column)
{
    double samples = 0.0;
    for (const auto* list : {&column.notes, &column.effects})
        for (const Signal& s : *list)
            samples += s.size();
    return samples * 4.0 / 1e6;
}

void PrintRow(const char* label, const std::vector<Column>& columns, const std::function<double(const Column&)>& figure,
              const char* format)
{
    std::printf("%-44s", label);
    for (const Column& column : columns) {
        char cell[32];
        const double value = figure(column);
        if (std::isnan(value))
            std::snprintf(cell, sizeof cell, "-");
        else
            std::snprintf(cell, sizeof cell, format, value);
        std::printf("%16s", cell);
    }
    std::printf("\n");
}

double Milliseconds(int samples)
{
    return samples * 1000.0 / SampleRate;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<Column> columns(1);
    if (!ReadColumn("this build", STRUMKEY_BANK_FOLDER, columns[0]))
        return 1;

    char folder[] = "/tmp/bank-sound-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return 1;
    const std::string command = std::string("'") + STRUMKEY_BANK_TOOL + "' '" + folder + "'";
    columns.emplace_back();
    const bool synthesized = std::system(command.c_str()) == 0 && ReadColumn("synthesized", folder, columns.back());
    std::filesystem::remove_all(folder);
    if (!synthesized)
        return 1;

    SoundFontRenderer recording(STRUMKEY_SOUNDFONT, 0, STRUMKEY_SOUNDFONT_PROGRAM);
    if (recording.Usable()) {
        columns.push_back({"recorded", {}, {}});
        for (int note = LowestNote; note <= HighestNote; ++note)
            columns.back().notes.push_back(recording.Note(note, StrikeVelocity, 2.0));
    } else {
        std::printf("No recorded reference: %s\n", recording.Error().c_str());
    }
    for (int i = 1; i < argc; ++i) {
        columns.emplace_back();
        if (!ReadColumn(argv[i], argv[i], columns.back()))
            return 1;
    }

    std::printf("%-44s", "");
    for (const Column& column : columns)
        std::printf("%16s", column.name.substr(0, 15).c_str());
    std::printf("\n");
    auto median = [](const std::function<double(const Signal&)>& figure) {
        return [figure](const Column& c) { return Median(PerNote(c, figure)); };
    };
    auto worst = [](const std::function<double(const Signal&)>& figure) {
        return [figure](const Column& c) { return Worst(PerNote(c, figure)); };
    };
    PrintRow("brightness at 0.1 s (Hz)", columns, median([](const Signal& s) { return BrightnessAt(s, 0.1); }), "%.0f");
    PrintRow("brightness at 1 s (Hz)", columns, median([](const Signal& s) { return BrightnessAt(s, 1.0); }), "%.0f");
    PrintRow("energy above 4 kHz, first 30 ms (%)", columns,
             median([](const Signal& s) { return 100.0 * AttackHighShare(s, 4000.0); }), "%.2f");
    PrintRow("level at 1 s below the peak (dB)", columns, median([](const Signal& s) { return LevelAt(s, 1.0); }),
             "%.1f");
    PrintRow("T60, slope from 0.5 to 2 s (s)", columns, median(LateT60), "%.1f");
    PrintRow("level of the last 50 ms (dB)", columns, median(LevelBeforeEnd), "%.1f");
    PrintRow(
        "loudness spread between notes, sd (LU)", columns,
        [](const Column& c) { return StandardDeviation(PerNote(c, NoteLoudness)); }, "%.2f");
    PrintRow(
        "largest step between neighbours (LU)", columns,
        [](const Column& c) { return Worst(Steps(PerNote(c, NoteLoudness))); }, "%.2f");
    PrintRow("onset after the first sample, median (ms)", columns,
             median([](const Signal& s) { return Milliseconds(OnsetSample(s)); }), "%.2f");
    PrintRow("onset after the first sample, latest (ms)", columns,
             worst([](const Signal& s) { return Milliseconds(OnsetSample(s)); }), "%.2f");
    PrintRow("first sample, loudest (dB below peak)", columns,
             worst([](const Signal& s) { return EdgeLevelsOf(s).firstSample; }), "%.1f");
    PrintRow("last 10 ms, loudest (dB below peak)", columns,
             worst([](const Signal& s) { return EdgeLevelsOf(s).lastTenMilliseconds; }), "%.1f");
    PrintRow("DC of the last 100 ms, most (dB below peak)", columns,
             worst([](const Signal& s) { return EdgeLevelsOf(s).endDc; }), "%.1f");
    PrintRow("note length, median (s)", columns,
             median([](const Signal& s) { return static_cast<double>(s.size()) / SampleRate; }), "%.2f");
    PrintRow("6 strings + 2 effects at full strength (%FS)", columns, StrumPeakPercent, "%.0f");
    PrintRow("decoded in the program (MB)", columns, DecodedMegabytes, "%.1f");
    return 0;
}
