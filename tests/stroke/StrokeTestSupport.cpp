#include "tests/stroke/StrokeTestSupport.h"

#include "stroke/ChordShapes.h"
#include "sound/Placement.h"
#include "stroke/StrokeScheduler.h"

#include "tests/support/SoundTestSupport.h"

#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace StrokeTest {

namespace {

// Identifier n is a sample of BaseFrames + n frames (four bytes each): about
// a second, so that a note is still sounding when a test looks.
constexpr int BaseFrames = 22050;
constexpr int LastId = 40;

// How long a wait for another thread may take before it counts as hung: far
// beyond anything a loaded machine needs, so that only a real fault ends it.
constexpr auto HangGuard = std::chrono::seconds(60);

long long MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::mutex logLock;
std::condition_variable logChanged;
std::vector<Start> starts;
int halts = 0;

int IdOf(const Mix_Chunk* chunk)
{
    if (chunk == nullptr)
        return -1;
    const int id = static_cast<int>(chunk->alen / 4) - Mivo::Placement::LeadFrames() - BaseFrames;
    return id >= 0 && id <= LastId ? id : -1;
}

}  // namespace

void MixerLog::Clear()
{
    std::lock_guard lock(logLock);
    starts.clear();
    halts = 0;
}

std::vector<Start> MixerLog::Starts()
{
    std::lock_guard lock(logLock);
    return starts;
}

std::vector<int> MixerLog::StartedIds()
{
    std::vector<int> ids;
    for (const Start& start : Starts())
        ids.push_back(start.id);
    return ids;
}

int MixerLog::Halts()
{
    std::lock_guard lock(logLock);
    return halts;
}

std::vector<Start> MixerLog::WaitForStarts(std::size_t count)
{
    const Clock::time_point start = Clock::now();
    std::unique_lock lock(logLock);
    if (!logChanged.wait_for(lock, HangGuard, [count] { return starts.size() >= count; }))
        ADD_FAILURE() << "waited " << MillisecondsSince(start) << " ms for " << count << " mixer starts, saw "
                      << starts.size();
    return starts;
}

TestBank::TestBank(const std::set<int>& missing) : previous(TheSoundTable)
{
    std::string csv;
    for (int id = 0; id <= LastId; ++id) {
        if (missing.count(id) != 0)
            continue;
        const std::string name = std::to_string(id) + ".wav";
        folder.Write("se/" + name, SoundTest::MakeWav(BaseFrames + id, id + 1));
        csv += std::to_string(id) + "," + name + "\n";
    }
    folder.Write("se.csv", csv);
    SoundTest::CurrentFolder here(folder.Unix());
    table = std::make_unique<SoundTable>();
    table->ReadTable("se.csv");
    table->LoadAll();
    TheSoundTable = table.get();
}

TestBank::~TestBank()
{
    // No trigger may outlive the samples it plays.
    CancelPendingNotes();
    Mix_HaltChannel(-1);
    TheSoundTable = previous;
}

int UncutChannels()
{
    int uncut = 0;
    for (int channel = 0; channel < Mix_AllocateChannels(-1); ++channel) {
        const Mix_Chunk* window = Mix_GetChunk(channel);
        if (Mix_Playing(channel) && window != nullptr &&
            window->alen > static_cast<Uint32>(Mivo::Placement::LeadFrames()) * 4)
            ++uncut;
    }
    return uncut;
}

void WaitPast(int ms)
{
    struct Flag {
        std::mutex lock;
        std::condition_variable fired;
        bool done = false;
    } flag;
    auto proc = [](UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
        Flag& f = *reinterpret_cast<Flag*>(user);
        std::lock_guard lock(f.lock);
        f.done = true;
        f.fired.notify_all();
    };
    const UINT id = timeSetEvent(static_cast<UINT>(ms), 1, proc, reinterpret_cast<DWORD_PTR>(&flag), TIME_ONESHOT);
    if (id == 0)
        return;
    const Clock::time_point start = Clock::now();
    std::unique_lock lock(flag.lock);
    if (!flag.fired.wait_for(lock, HangGuard, [&flag] { return flag.done; })) {
        lock.unlock();
        timeKillEvent(id);  // never leave a timer pointing at this frame
        ADD_FAILURE() << "a " << ms << " ms timer had not fired after " << MillisecondsSince(start) << " ms";
    }
}

bool RingIdle()
{
    for (const NoteSlot& slot : TheNoteSlots.slots)
        if (slot.timerId.load(std::memory_order_acquire) != 0)
            return false;
    return true;
}

bool WaitForRingIdle()
{
    // The triggers signal nothing but their slot's 0, so this polls it.
    const Clock::time_point start = Clock::now();
    while (!RingIdle()) {
        if (Clock::now() - start > HangGuard) {
            ADD_FAILURE() << "the note ring was still armed after " << MillisecondsSince(start) << " ms";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace StrokeTest

// The program's starts and cuts, logged on their way to the placement.
int RealStart(Mix_Chunk*, int, int, std::int64_t) asm("__real__ZN4Mivo9Placement5StartEP9Mix_Chunkiil");
int WrappedStart(Mix_Chunk*, int, int, std::int64_t) asm("__wrap__ZN4Mivo9Placement5StartEP9Mix_Chunkiil");
void RealCutAll(std::int64_t) asm("__real__ZN4Mivo9Placement6CutAllEl");
void WrappedCutAll(std::int64_t) asm("__wrap__ZN4Mivo9Placement6CutAllEl");

int WrappedStart(Mix_Chunk* chunk, int loops, int channel, std::int64_t due)
{
    const auto when = StrokeTest::Clock::now();
    const int playing = RealStart(chunk, loops, channel, due);
    std::lock_guard lock(StrokeTest::logLock);
    StrokeTest::starts.push_back({when, due, StrokeTest::IdOf(chunk), channel, playing});
    StrokeTest::logChanged.notify_all();
    return playing;
}

void WrappedCutAll(std::int64_t due)
{
    {
        std::lock_guard lock(StrokeTest::logLock);
        ++StrokeTest::halts;
    }
    RealCutAll(due);
}
