// strumkey_bank: makes a sound bank for the program, so that a freshly built
// program can be played at once.
//
//   strumkey_bank [--soundfont FILE.sf2 [--program N] [--bank B]] [--folder]
//                 [--out] <output folder>
//
// Writes se.csv (the sound table) and se.dat (the samples as a zip archive of
// stored members). The notes are played on a SoundFont's instrument (General
// MIDI program 25, the steel-string guitar, unless told otherwise), or
// synthesized without one. With --folder the samples are also written as
// plain files under se/ in the same folder. Nothing is written unless the
// whole bank was made.

#include "tools/Bank.h"
#include "tools/OutputFile.h"
#include "tools/SoundFontRenderer.h"
#include "tools/ZipWriter.h"

#include <charconv>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace {

constexpr const char* Usage =
    "usage: strumkey_bank [--soundfont FILE.sf2 [--program N] [--bank B]] [--folder] [--out] <output folder>\n";

struct Options {
    std::string folder;
    bool writeFolder = false;
    std::string soundFont;
    int program = 25;
    int bank = 0;
};

std::string_view AsText(const std::vector<std::uint8_t>& bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

int Fail(const std::string& message)
{
    std::cerr << "strumkey_bank: " << message << '\n';
    return 1;
}

std::optional<int> NumberIn(std::string_view text, int highest)
{
    int value = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0 || value > highest)
        return std::nullopt;
    return value;
}

std::optional<Options> ParseArguments(int argc, char** argv)
{
    Options options;
    bool numbersGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--folder") {
            options.writeFolder = true;
        } else if (arg == "--soundfont" && hasValue) {
            options.soundFont = argv[++i];
        } else if ((arg == "--program" || arg == "--bank") && hasValue) {
            const std::optional<int> number = NumberIn(argv[++i], arg == "--program" ? 127 : 16383);
            if (!number)
                return std::nullopt;
            (arg == "--program" ? options.program : options.bank) = *number;
            numbersGiven = true;
        } else if (arg == "--out" && hasValue && options.folder.empty()) {
            options.folder = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && options.folder.empty()) {
            options.folder = arg;
        } else {
            return std::nullopt;
        }
    }
    if (options.folder.empty() || (numbersGiven && options.soundFont.empty()))
        return std::nullopt;
    return options;
}

int Generate(const Options& options)
{
    std::unique_ptr<SoundFontRenderer> soundFont;
    if (!options.soundFont.empty()) {
        soundFont = std::make_unique<SoundFontRenderer>(options.soundFont, options.bank, options.program);
        if (!soundFont->Usable())
            return Fail(soundFont->Error());
    }
    const std::vector<BankSample> bank = BuildBank(soundFont.get());
    ZipWriter archive;
    for (const BankSample& sample : bank)
        if (!archive.Add(sample.fileName, sample.wav))
            return Fail("cannot pack " + sample.fileName);
    const std::string source = soundFont ? "program " + std::to_string(options.program) + " of bank " +
                                               std::to_string(options.bank) + " of " +
                                               std::filesystem::path(options.soundFont).filename().string()
                                         : "synthesized";

    const std::filesystem::path folder = options.folder;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec || !std::filesystem::is_directory(folder))
        return Fail("cannot create folder " + folder.string() + (ec ? ": " + ec.message() : ""));
    std::string error;
    if (options.writeFolder) {
        const std::filesystem::path samples = folder / "se";
        std::filesystem::create_directories(samples, ec);
        if (ec || !std::filesystem::is_directory(samples))
            return Fail("cannot create folder " + samples.string());
        for (const BankSample& sample : bank)
            if (!WriteWholeFile(samples / sample.fileName, AsText(sample.wav), error))
                return Fail(error);
    }
    // The archive before the table: a table never names samples that are not
    // there yet.
    if (!WriteWholeFile(folder / "se.dat", AsText(archive.Finish()), error))
        return Fail(error);
    if (!WriteWholeFile(folder / "se.csv", MakeTable(bank, source), error))
        return Fail(error);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::optional<Options> options = ParseArguments(argc, argv);
    if (!options) {
        std::cerr << Usage;
        return 2;
    }
    try {
        return Generate(*options);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}
