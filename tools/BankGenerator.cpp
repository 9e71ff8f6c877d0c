// strumkey_bank: synthesizes the default sound bank into a folder, so that a
// freshly built program can be played at once.
//
//   strumkey_bank [--folder] <output folder>
//
// Writes se.csv (the sound table) and se.dat (the samples as a zip archive of
// stored members). With --folder the samples are also written as plain files
// under se/ in the same folder.

#include "tools/Bank.h"
#include "tools/OutputFile.h"
#include "tools/ZipWriter.h"

#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>

namespace {

std::string_view AsText(const std::vector<std::uint8_t>& bytes)
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

int Fail(const std::string& message)
{
    std::cerr << "strumkey_bank: " << message << '\n';
    return 1;
}

int Generate(const std::filesystem::path& folder, bool writeFolder)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec || !std::filesystem::is_directory(folder))
        return Fail("cannot create folder " + folder.string() + (ec ? ": " + ec.message() : ""));

    const std::vector<BankSample> bank = BuildBank();
    ZipWriter archive;
    for (const BankSample& sample : bank)
        if (!archive.Add(sample.fileName, sample.wav))
            return Fail("cannot pack " + sample.fileName);

    std::string error;
    if (writeFolder) {
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
    if (!WriteWholeFile(folder / "se.csv", MakeTable(bank), error))
        return Fail(error);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    bool writeFolder = false;
    bool usable = true;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--folder")
            writeFolder = true;
        else if (!arg.empty() && arg[0] != '-' && folder.empty())
            folder = arg;
        else
            usable = false;
    }
    if (!usable || folder.empty()) {
        std::cerr << "usage: strumkey_bank [--folder] <output folder>\n";
        return 2;
    }
    try {
        return Generate(folder, writeFolder);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}
