// The cost of one StartStroke on the dialog thread, with the default sound
// bank on SDL's dummy driver: cancelling the previous stroke's timers,
// halting the mixer, the chord lookup, the first string's start and the
// arming of the others. Back-to-back strokes cancel each other as key presses
// do; the table reports microseconds per call.

#include "sound/AudioDevice.h"
#include "sound/SoundTable.h"
#include "stroke/StrokeScheduler.h"

#include <SDL_mixer.h>
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

namespace {

// Default speed (25 ms): one string now, five timers armed.
void StrokeWithTimers(benchmark::State& state)
{
    int i = 0;
    for (auto _ : state) {
        StartStroke(60 + i % 12, static_cast<ChordKind>(i % 7), 100, 25);
        ++i;
    }
    CancelPendingNotes();
    StopAllSounds();
}
BENCHMARK(StrokeWithTimers)->Unit(benchmark::kMicrosecond);

// Speed 0: every string started inside the call, no timer.
void StrokeAllAtOnce(benchmark::State& state)
{
    int i = 0;
    for (auto _ : state) {
        StartStroke(60 + i % 12, static_cast<ChordKind>(i % 7), 100, 0);
        ++i;
    }
    StopAllSounds();
}
BENCHMARK(StrokeAllAtOnce)->Unit(benchmark::kMicrosecond);

// The space key on a stroke in progress: five pending timers killed.
void CancelFiveTimers(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        StartStroke(64, Major, 100, 25);
        state.ResumeTiming();
        CancelPendingNotes();
        StopAllSounds();
    }
}
BENCHMARK(CancelFiveTimers)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    // A device that plays nothing out loud, unless the caller chose one.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (chdir(STRUMKEY_BANK_FOLDER) != 0 || !Mivo::AudioDevice::IsOpen()) {
        std::fprintf(stderr, "no bank folder or no audio device\n");
        return 1;
    }
    SoundTable table;
    if (!table.ReadTable("se.csv") || table.LoadAll() != 41) {
        std::fprintf(stderr, "the default bank did not load\n");
        return 1;
    }
    TheSoundTable = &table;
    timeBeginPeriod(1);
    ResetNoteSlots();

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    CancelPendingNotes();
    StopAllSounds();
    TheSoundTable = nullptr;
    timeEndPeriod(1);
    return 0;
}
