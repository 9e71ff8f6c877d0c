// Loading the default sound bank the way the program starts (ReadTable +
// LoadAll), from se.dat and from a plain se folder, and the play path
// (SoundTable::Find + Chunk::Play) on SDL's dummy driver.
//
// Archives stay open for the whole process, keyed by the relative name
// "se.dat": once the archive benchmark has run, every later "se\..." lookup
// is served by that archive. So the folder benchmark runs first, and the
// archive benchmark measures loads with the archive already indexed. The first
// load of a fresh process (device opened, archive indexed) is measured in a
// child process per source before the benchmarks start; "cold" there means a
// fresh process, not an empty page cache.

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
    const std::string command =
        std::string("'") + STRUMKEY_BANK_TOOL + "' " + STRUMKEY_BANK_ARGUMENTS + " --folder '" + plainFolder + "'";
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
        std::printf("First load in a fresh process from %-10s: device open %.2f ms, ReadTable + LoadAll %.2f ms\n",
                    label, figures[0] * 1e3, figures[1] * 1e3);
    else
        std::printf("First load in a fresh process from %s failed\n", label);
}

bool LoadOnce(std::optional<SoundTable>& table)
{
    table.emplace();
    return table->ReadTable("se.csv") && table->LoadAll() == 41;
}

void LoadBank(benchmark::State& state, const std::string& folder)
{
    fs::current_path(folder);
    // One untimed load first, so that neither source pays a one-off cost in
    // its first timed round (indexing the archive; the page cache).
    std::optional<SoundTable> table;
    if (!LoadOnce(table)) {
        state.SkipWithError("the bank did not load");
        return;
    }
    table.reset();
    for (auto _ : state) {
        const bool ok = LoadOnce(table);
        // Freeing 41 samples is not part of the load.
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

// Find + Play over the 41 identifiers, timed by hand in rounds of eight
// plays so that the clean-up between rounds stays out of the figure.
//
// Free channels: all channels are halted (untimed) before each round, so the
// eight plays take channels 0 to 7 in turn.
// Busy channels: every channel plays a looping sample before timing starts
// and the timed plays loop too, so that no channel ever ends: each play finds
// no free channel and takes over channel 0. The plays that land elsewhere are
// counted; the figure is only honest when that counter is 0.
void PlayPath(benchmark::State& state, bool freeChannels)
{
    fs::current_path(archiveFolder);
    SoundTable table;
    if (!table.ReadTable("se.csv") || table.LoadAll() != 41) {
        state.SkipWithError("the bank did not load");
        return;
    }
    const int loops = freeChannels ? 0 : -1;
    Mix_HaltChannel(-1);
    if (!freeChannels)
        for (int i = 0; i < 8; ++i)
            (*table.Find(i))->Play(-1, -1);
    int id = 0;
    long elsewhere = 0;
    for (auto _ : state) {
        if (freeChannels)
            Mix_HaltChannel(-1);
        const double start = Now();
        for (int i = 0; i < 8; ++i) {
            Mivo::Chunk* const* chunk = table.Find(id);
            const int channel = (*chunk)->Play(loops, -1);
            benchmark::DoNotOptimize(channel);
            if (channel != (freeChannels ? i : 0))
                ++elsewhere;
            id = id == 40 ? 0 : id + 1;
        }
        state.SetIterationTime(Now() - start);
    }
    Mix_HaltChannel(-1);
    state.SetItemsProcessed(state.iterations() * 8);
    // Seconds per Find + Play.
    state.counters["per_play"] =
        benchmark::Counter(8.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["unexpected_channel"] = static_cast<double>(elsewhere);
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
    // The device opens once per process; open it here so that the first
    // benchmark does not pay for it.
    if (!Mivo::AudioDevice::IsOpen()) {
        std::fprintf(stderr, "the audio device did not open\n");
        return 1;
    }

    // Registration order is run order: the folder before the archive.
    benchmark::RegisterBenchmark("LoadBank/PlainFolder", BM_LoadFromPlainFolder)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("LoadBank/ArchiveIndexed", BM_LoadFromArchive)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("PlayPath/FreeChannel", BM_PlayOnFreeChannel)->UseManualTime();
    benchmark::RegisterBenchmark("PlayPath/AllChannelsBusy", BM_PlayAllChannelsBusy)->UseManualTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    fs::current_path(home);
    std::error_code ignored;
    fs::remove_all(top, ignored);
    return 0;
}
