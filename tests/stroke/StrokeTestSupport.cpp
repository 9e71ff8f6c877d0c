#include "tests/stroke/StrokeTestSupport.h"

#include "stroke/ChordShapes.h"
#include "sound/Placement.h"
#include "stroke/StrokeScheduler.h"

#include "tests/support/SoundTestSupport.h"

#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>

namespace StrokeTest {

namespace {

// Identifier n is a sample of BaseFrames + n frames (four bytes each): about
// a second, so that a note is still sounding when a test looks.
constexpr int BaseFrames = 22050;
constexpr int LastId = 40;

std::mutex logLock;
std::vector<Start> starts;
int halts = 0;
std::vector<MidiMessage> midiMessages;

int IdOf(const Mix_Chunk* chunk)
{
    if (chunk == nullptr)
        return -1;
    const int id = static_cast<int>(chunk->alen / 4) - Mivo::Placement::LeadFrames() - BaseFrames;
    return id >= 0 && id <= LastId ? id : -1;
}

// The virtual timer queue. The timer thread's limits, kept alike.
constexpr UINT MinDelay = 1;
constexpr UINT MaxDelay = 1000000;
constexpr std::size_t MaxPending = 1024;

struct Timer {
    UINT id;
    std::int64_t deadline;
    std::uint64_t order;  // equal deadlines fire in the order they were armed
    LPTIMECALLBACK callback;
    DWORD_PTR user;
};

std::mutex timerLock;
std::vector<Timer> pending;
std::int64_t now = 0;
UINT nextId = 1;
std::uint64_t nextOrder = 0;
bool fireOnArm = false;

// Takes the earliest timer due by until off the queue and moves the clock to
// its deadline; nothing when none is due. The callback is run by the caller,
// without the lock, so that it may arm and kill timers itself.
std::optional<Timer> TakeDue(std::int64_t until)
{
    std::lock_guard lock(timerLock);
    const auto first = std::min_element(pending.begin(), pending.end(), [](const Timer& a, const Timer& b) {
        return a.deadline != b.deadline ? a.deadline < b.deadline : a.order < b.order;
    });
    if (first == pending.end() || first->deadline > until)
        return std::nullopt;
    const Timer timer = *first;
    pending.erase(first);
    now = timer.deadline;
    return timer;
}

void Fire(const Timer& timer)
{
    timer.callback(timer.id, 0, timer.user, 0, 0);
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

std::ostream& operator<<(std::ostream& out, const MidiMessage& message)
{
    return out << std::hex << message.message << std::dec << " at " << message.at;
}

void MidiLog::Clear()
{
    std::lock_guard lock(logLock);
    midiMessages.clear();
}

std::vector<MidiMessage> MidiLog::Messages()
{
    std::lock_guard lock(logLock);
    return midiMessages;
}

void VirtualTimers::Reset()
{
    std::lock_guard lock(timerLock);
    pending.clear();
    fireOnArm = false;
}

std::int64_t VirtualTimers::Now()
{
    std::lock_guard lock(timerLock);
    return now;
}

std::size_t VirtualTimers::Pending()
{
    std::lock_guard lock(timerLock);
    return pending.size();
}

void VirtualTimers::AdvanceBy(std::int64_t ms)
{
    const std::int64_t until = Now() + ms;
    while (const std::optional<Timer> timer = TakeDue(until))
        Fire(*timer);
    std::lock_guard lock(timerLock);
    now = until;
}

void VirtualTimers::RunUntilIdle()
{
    while (const std::optional<Timer> timer = TakeDue(INT64_MAX))
        Fire(*timer);
}

void VirtualTimers::FireNextOnArm()
{
    std::lock_guard lock(timerLock);
    fireOnArm = true;
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
    SoundTest::CurrentFolder here(folder.Path());
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

bool RingIdle()
{
    for (const NoteSlot& slot : TheNoteSlots.slots)
        if (slot.timerId.load(std::memory_order_acquire) != 0)
            return false;
    return true;
}

}  // namespace StrokeTest

// std::int64_t in a C++ name: long on Linux, long long on Windows.
#ifdef _WIN32
#define INT64_CODE "x"
static_assert(std::is_same_v<std::int64_t, long long>);
#else
#define INT64_CODE "l"
static_assert(std::is_same_v<std::int64_t, long>);
#endif

// The program's starts and cuts, logged on their way to the placement.
int RealStart(Mix_Chunk*, int, int, std::int64_t) asm("__real__ZN4Mivo9Placement5StartEP9Mix_Chunkii" INT64_CODE);
int WrappedStart(Mix_Chunk*, int, int, std::int64_t) asm("__wrap__ZN4Mivo9Placement5StartEP9Mix_Chunkii" INT64_CODE);
void RealCutAll(std::int64_t) asm("__real__ZN4Mivo9Placement6CutAllE" INT64_CODE);
void WrappedCutAll(std::int64_t) asm("__wrap__ZN4Mivo9Placement6CutAllE" INT64_CODE);

int WrappedStart(Mix_Chunk* chunk, int loops, int channel, std::int64_t due)
{
    const std::int64_t at = StrokeTest::VirtualTimers::Now();
    const int playing = RealStart(chunk, loops, channel, due);
    std::lock_guard lock(StrokeTest::logLock);
    StrokeTest::starts.push_back({at, due, StrokeTest::IdOf(chunk), channel, playing});
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

// The program's multimedia timers, on the virtual clock.
#ifdef _WIN32
MMRESULT WINAPI WrappedTimeSetEvent(UINT, UINT, LPTIMECALLBACK, DWORD_PTR, UINT);
MMRESULT WINAPI WrappedTimeKillEvent(UINT);
// The program calls winmm's functions through these pointers, which the
// import library would otherwise define.
extern "C" {
MMRESULT(WINAPI* __imp_timeSetEvent)(UINT, UINT, LPTIMECALLBACK, DWORD_PTR, UINT) = WrappedTimeSetEvent;
MMRESULT(WINAPI* __imp_timeKillEvent)(UINT) = WrappedTimeKillEvent;
}
#else
MMRESULT WrappedTimeSetEvent(UINT, UINT, LPTIMECALLBACK, DWORD_PTR, UINT) asm("__wrap__Z12timeSetEventjjPFvjjmmmEmj");
MMRESULT WrappedTimeKillEvent(UINT) asm("__wrap__Z13timeKillEventj");
#endif

// The program's MIDI messages, logged and dropped.
#ifdef _WIN32
MMRESULT WINAPI WrappedMidiOutShortMsg(HMIDIOUT, DWORD);
extern "C" {
MMRESULT(WINAPI* __imp_midiOutShortMsg)(HMIDIOUT, DWORD) = WrappedMidiOutShortMsg;
}
#else
MMRESULT WrappedMidiOutShortMsg(HMIDIOUT, DWORD) asm("__wrap__Z15midiOutShortMsgP10HMIDIOUT__j");
#endif

MMRESULT WINAPI WrappedMidiOutShortMsg(HMIDIOUT, DWORD message)
{
    std::lock_guard lock(StrokeTest::logLock);
    StrokeTest::midiMessages.push_back({StrokeTest::VirtualTimers::Now(), message});
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI WrappedTimeSetEvent(UINT delay, UINT, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags)
{
    using namespace StrokeTest;
    if (callback == nullptr || delay < MinDelay || delay > MaxDelay || flags != (TIME_ONESHOT | TIME_CALLBACK_FUNCTION))
        return 0;
    std::unique_lock lock(timerLock);
    if (pending.size() >= MaxPending)
        return 0;
    const Timer timer{nextId, now + delay, nextOrder++, callback, user};
    nextId = nextId == 0xFFFFFFFFu ? 1 : nextId + 1;  // never 0
    if (!fireOnArm) {
        pending.push_back(timer);
        return timer.id;
    }
    fireOnArm = false;
    now = timer.deadline;
    lock.unlock();
    Fire(timer);
    return timer.id;
}

MMRESULT WINAPI WrappedTimeKillEvent(UINT id)
{
    using namespace StrokeTest;
    std::lock_guard lock(timerLock);
    const auto found =
        std::find_if(pending.begin(), pending.end(), [id](const Timer& timer) { return timer.id == id; });
    if (id == 0 || found == pending.end())
        return MMSYSERR_INVALPARAM;  // unknown, spent, or firing now: it runs no more
    pending.erase(found);
    return TIMERR_NOERROR;
}
