// Loading the default sound bank the way the program starts (ReadTable +
// LoadAll), from se.dat and from a plain se folder, and the play path
// (SoundTable::Find + Chunk::Play) on SDL's dummy driver.
//
// Archives stay open for the whole process, keyed by the relative name
// "se.dat": once the archive benchmark has run, every later "se\..." lookup
// is served by that archive. So the folder benchmark runs first, and the
// archive benchmark measures loads with the archive already indexed. The first
// load of a fresh process (device opened, archive indexed) is measured in a
// child process per source before the benchmarks start.

#include "files/ArchiveList.h"
#include "sound/AudioDevice.h"
#include "sound/SoundTable.h"

#include <SDL_mixer.h>
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string archiveFolder;  // se.csv + se.dat
std::string plainFolder;    // se.csv + se/

double Now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

bool HoldsBankArchive()
{
    for (const auto& reader : Mivo::ArchiveList())
        if (lstrcmpiA(reader->Name().Text(), "se.dat") == 0)
            return true;
    return false;
}

bool Prepare(const std::string& top)
{
    archiveFolder = top + "/archive";
    plainFolder = top + "/folder";
    fs::create_directories(archiveFolder);
    for (const char* name : {"se.csv", "se.dat"})
        fs::copy_file(fs::path(STRUMKEY_BANK_FOLDER) / name, fs::path(archiveFolder) / name);
    const std::string command = std::string("'") + STRUMKEY_BANK_TOOL + "' --folder '" + plainFolder + "'";
    if (std::system(command.c_str()) != 0)
        return false;
    fs::remove(fs::path(plainFolder) / "se.dat");
    return true;
}

// One cold start in a child process: opening the device, then the load.
void ColdLoad(const char* label, const std::string& folder)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return;
    const pid_t child = fork();
    if (child == 0) {
        double figures[3] = {};
        if (chdir(folder.c_str()) == 0) {
            const double start = Now();
            Mivo::AudioDevice::IsOpen();
            const double opened = Now();
            SoundTable table;
            const bool ok = table.ReadTable("se.csv") && table.LoadAll() == 41;
            figures[0] = opened - start;
            figures[1] = Now() - opened;
            figures[2] = ok ? 1 : 0;
        }
        if (write(pipeEnds[1], figures, sizeof figures) != sizeof figures)
            _exit(1);
        _exit(0);
    }
    close(pipeEnds[1]);
    double figures[3] = {};
    const bool got = read(pipeEnds[0], figures, sizeof figures) == sizeof figures;
    close(pipeEnds[0]);
    waitpid(child, nullptr, 0);
    if (got && figures[2] == 1)
        std::printf("Cold first load from %-10s: device open %.2f ms, ReadTable + LoadAll %.2f ms\n", label,
                    figures[0] * 1e3, figures[1] * 1e3);
    else
        std::printf("Cold first load from %s failed\n", label);
}

void LoadBank(benchmark::State& state, const std::string& folder)
{
    fs::current_path(folder);
    for (auto _ : state) {
        std::optional<SoundTable> table(std::in_place);
        const bool ok = table->ReadTable("se.csv") && table->LoadAll() == 41;
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
        if (!ok) {
            state.SkipWithError("the bank did not load");
            break;
        }
    }
}

void BM_LoadFromPlainFolder(benchmark::State& state)
{
    if (HoldsBankArchive()) {
        state.SkipWithError("se.dat is already open in this process");
        return;
    }
    LoadBank(state, plainFolder);
}

void BM_LoadFromArchive(benchmark::State& state)
{
    LoadBank(state, archiveFolder);
}

// Find + Play over all 41 identifiers. With channels left free, each play is
// halted again at once (Mix_HaltChannel is timed too); otherwise all eight
// channels are busy and every play takes over channel 0.
void PlayPath(benchmark::State& state, bool freeChannels)
{
    fs::current_path(archiveFolder);
    SoundTable table;
    if (!table.ReadTable("se.csv") || table.LoadAll() != 41) {
        state.SkipWithError("the bank did not load");
        return;
    }
    Mix_HaltChannel(-1);
    int id = 0;
    for (auto _ : state) {
        Mivo::Chunk* const* chunk = table.Find(id);
        const int channel = (*chunk)->Play(0, -1);
        if (freeChannels)
            Mix_HaltChannel(channel);
        benchmark::DoNotOptimize(channel);
        id = id == 40 ? 0 : id + 1;
    }
    Mix_HaltChannel(-1);
}

void BM_PlayOnFreeChannel(benchmark::State& state)
{
    PlayPath(state, true);
}

void BM_PlayAllChannelsBusy(benchmark::State& state)
{
    PlayPath(state, false);
}

}  // namespace

int main(int argc, char** argv)
{
    // Before anything can open the device.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    benchmark::Initialize(&argc, argv);

    std::string top = (fs::temp_directory_path() / "strumkey-bench-XXXXXX").string();
    if (mkdtemp(top.data()) == nullptr || !Prepare(top)) {
        std::fprintf(stderr, "cannot prepare the bank folders\n");
        return 1;
    }
    const fs::path home = fs::current_path();
    ColdLoad("se.dat", archiveFolder);
    ColdLoad("se folder", plainFolder);

    // Registration order is run order: the folder before the archive.
    benchmark::RegisterBenchmark("LoadBank/PlainFolder", BM_LoadFromPlainFolder)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("LoadBank/ArchiveIndexed", BM_LoadFromArchive)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("PlayPath/FreeChannel", BM_PlayOnFreeChannel);
    benchmark::RegisterBenchmark("PlayPath/AllChannelsBusy", BM_PlayAllChannelsBusy);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    fs::current_path(home);
    std::error_code ignored;
    fs::remove_all(top, ignored);
    return 0;
}
