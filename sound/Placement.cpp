#include "sound/Placement.h"

#include "platform/Win32.h"
#include "sound/AudioClock.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <optional>

namespace Mivo {
namespace {

// A cut keeps the channels it cuts busy up to its frame, while the next
// stroke's strings already start: twice the mixer's eight channels.
constexpr int Channels = 16;
constexpr int FrameBytes = 4;  // signed 16-bit stereo
// From the time asked for to the frame, in the device's buffers: a mix may
// come up to one buffer after a call, and half a buffer is room for its
// lateness.
constexpr double LatencyBuffers = 1.5;
// Where the start that wakes a resting device goes, in buffers after the
// next mix.
constexpr double WakeLeadBuffers = 2.5;
constexpr int MinimumEarlyStartMs = 30;
constexpr int MinimumLeadMs = 240;
// After this long with nothing sounding the device rests (SDL pauses it),
// where its driver then stops its stream: the process stops waking for it
// and the sound server may suspend its sink. The next start wakes it.
constexpr std::int64_t RestAfterNs = 5'000'000'000;
// The drivers whose device rests: those that stop their stream while SDL
// has paused the device, and where the stroke that wakes it lands on its
// frames. Not WASAPI: under Wine the first key after a rest was heard 19 ms
// (p90, other core idle) to 46 ms (busy) above a bare client, too late.
constexpr std::array<const char*, 1> RestingDrivers{"pulse"};

// What one channel plays: a window on a chunk. Two of them, so that a
// channel moves to the other while the mixer still reads the first.
struct Channel {
    Mix_Chunk windows[2] = {};
    int current = 0;
    const Mix_Chunk* chunk = nullptr;  // the chunk the windows look at
    std::int64_t firstFrame = 0;       // where the current window's first byte is mixed
    bool looping = false;
    bool cut = false;  // it plays on only up to a cut
};

struct State {
    int rate = 22050;
    int bufferFrames = 1024;
    std::optional<AudioClock> clock;  // while the device is open
    // The clock's underruns, published for the dialog.
    std::atomic<long> lateMixes{0};
    std::atomic<bool> brokenUp{false};
    Channel channels[Channels];
    // The frame of the last cut (or of a start that had to leave it) and the
    // time it was asked for.
    bool anchored = false;
    std::int64_t anchorDue = 0;
    double anchorFrame = 0;
    double lastFrame = 0;  // of the latest start or cut placed
    // Whether the driver rests while paused (others go on mixing silence,
    // so a rest would save nothing), whether it rests now, and since when
    // nothing has sounded (0: something does).
    bool mayRest = false;
    std::atomic<bool> resting{false};
    std::int64_t quietSince = 0;
};

State& TheState()
{
    static State state;
    return state;
}

// The mixer's own lock, as its calls take it; it may be taken again on the
// same thread (the audio thread holds it while it mixes).
class AudioLock {
public:
    AudioLock() { SDL_LockAudio(); }
    ~AudioLock() { SDL_UnlockAudio(); }
    AudioLock(const AudioLock&) = delete;
    AudioLock& operator=(const AudioLock&) = delete;
};

// Audio thread, after a mix, under the audio lock: the device rests once
// nothing has sounded for RestAfterNs.
void RestWhenQuiet(State& state, std::int64_t now)
{
    if (!state.mayRest || Mix_Playing(-1) > 0) {
        state.quietSince = 0;
        return;
    }
    if (state.quietSince == 0) {
        state.quietSince = now;
    } else if (now - state.quietSince >= RestAfterNs) {
        state.quietSince = 0;
        state.resting.store(true, std::memory_order_relaxed);
        SDL_PauseAudio(1);
    }
}

// Any thread, under the audio lock, before a start or a cut is placed: a
// resting device mixes again, and its clock starts anew. Whether it rested.
bool WakeUp(State& state)
{
    if (!state.resting.load(std::memory_order_relaxed))
        return false;
    state.resting.store(false, std::memory_order_relaxed);
    state.clock->Resume();
    SDL_PauseAudio(0);
    return true;
}

// Audio thread, after every mix, under the audio lock.
void TimeTheMix(void*, Uint8*, int bytes)
{
    State& state = TheState();
    if (!state.clock)
        return;
    const std::int64_t now = Placement::Now();
    state.clock->OnMix(now, bytes / FrameBytes);
    state.lateMixes.store(state.clock->LateMixes(), std::memory_order_relaxed);
    if (state.clock->RepeatedlyLate())
        state.brokenUp.store(true, std::memory_order_relaxed);
    RestWhenQuiet(state, now);
}

bool DriverRests()
{
    char name[32] = "";
    if (SDL_AudioDriverName(name, sizeof name) == nullptr)
        return false;
    for (const char* driver : RestingDrivers)
        if (std::strcmp(name, driver) == 0)
            return true;
    return false;
}

// Makes the start at frame placed, for time due, the anchor of its stroke;
// gives the frame.
std::int64_t Anchor(State& state, std::int64_t due, double placed)
{
    state.anchored = true;
    state.anchorDue = due;
    state.anchorFrame = placed;
    state.lastFrame = placed;
    return std::llround(placed);
}

// The frame for time due. From the anchor, so that a stroke's strings keep
// their distances exactly, while that frame still fits the silence before a
// sound (a device whose rate is a little off slowly moves away from the
// anchor); else from the clock, which then becomes the anchor. Never before
// the next mix nor past the silence: a device that has stalled, or a timer
// far too late, shifts a start and a cut alike, and what comes after them.
std::int64_t FrameFor(State& state, std::int64_t due, bool newAnchor)
{
    const auto next = static_cast<double>(state.clock->NextMixFrame());
    const double lead = Placement::LeadFrames();
    const bool inStroke = state.anchored && !newAnchor;
    const double anchored =
        inStroke ? state.anchorFrame + static_cast<double>(due - state.anchorDue) * state.rate / 1e9 : 0;
    if (inStroke && anchored >= next && anchored <= next + lead) {
        state.lastFrame = anchored;
        return std::llround(anchored);
    }
    const double clocked = state.clock->FrameAt(due) + LatencyBuffers * state.clock->BufferFrames();
    double placed = std::clamp(clocked, next, next + lead);
    // Never before the string before it: after a stall the mixer has made
    // fewer frames than the time says, and a string that comes with the one
    // before it but further from the anchor than the lead finds its own time
    // earlier than that one's. It goes as far after it as the lead lets it.
    if (inStroke && placed <= state.lastFrame)
        placed = std::min(anchored, next + lead);
    // The anchor is where the sound really goes: after a start that came too
    // late for its frame, the rest of the stroke follows it at its own
    // spacing instead of bunching up on the next mix.
    return Anchor(state, due, placed);
}

// The frame for time due of the start that woke the device, the anchor of
// its stroke. The woken driver refills its stream at once, several mixes in
// a row, so the next mix is no measure of the time: the start goes
// WakeLeadBuffers after it (about what the awake placement and the queue
// behind it come to), and the later strings of its stroke, started ahead of
// their time while the stream refills, still fit after the mixes made by
// then.
std::int64_t FrameAfterWake(State& state, std::int64_t due)
{
    const auto next = static_cast<double>(state.clock->NextMixFrame());
    const double ahead = static_cast<double>(std::max<std::int64_t>(0, due - Placement::Now())) * state.rate / 1e9;
    return Anchor(
        state, due,
        std::min(next + WakeLeadBuffers * state.clock->BufferFrames() + ahead, next + Placement::LeadFrames()));
}

// How early a start may be asked for: one buffer, and never less than
// MinimumEarlyStartMs, so that on a small buffer too a timer thread that
// runs late (a busy machine, no real-time priority) is not heard.
int EarlyStartFrames(const State& state)
{
    return std::max(state.bufferFrames, MinimumEarlyStartMs * state.rate / 1000);
}

// The first channel that plays nothing, as the mixer looks for one; else
// one that plays only up to a cut, whose short rest is given up (strokes
// faster than the latency); else -1.
int FreeChannel(const State& state)
{
    int cut = -1;
    for (int i = 0; i < Channels; ++i) {
        if (!Mix_Playing(i))
            return i;
        if (cut == -1 && state.channels[i].cut)
            cut = i;
    }
    return cut;
}

// Plays bytes [offset, offset + length) of what the channel's window would
// be on chunk: the channel moves to its other window.
int PlayWindow(Channel& channel, int number, const Mix_Chunk& chunk, Uint32 offset, Uint32 length, int loops)
{
    Mix_Chunk& window = channel.windows[1 - channel.current];
    window.allocated = 0;
    window.abuf = chunk.abuf + offset;
    window.alen = length;
    window.volume = chunk.volume;
    const int playing = Mix_PlayChannelTimed(number, &window, loops, -1);
    if (playing == number) {
        channel.current = 1 - channel.current;
        channel.firstFrame = TheState().clock->NextMixFrame();
        channel.looping = loops != 0;
        channel.cut = false;
    }
    return playing;
}

}  // namespace

void Placement::Open(int rate, int bufferFrames)
{
    State& state = TheState();
    Mix_AllocateChannels(Channels);
    AudioLock lock;
    state.rate = rate;
    state.bufferFrames = bufferFrames;
    state.clock.emplace(rate, bufferFrames);
    state.anchored = false;
    state.lateMixes = 0;
    state.brokenUp = false;
    state.mayRest = DriverRests();
    state.resting = false;
    state.quietSince = 0;
    Mix_SetPostMix(TimeTheMix, nullptr);
}

void Placement::Close()
{
    Mix_SetPostMix(nullptr, nullptr);
    AudioLock lock;
    State& state = TheState();
    if (state.resting.exchange(false))
        SDL_PauseAudio(0);  // the device closes as it was opened: playing
    state.clock.reset();
}

bool Placement::IsResting()
{
    return TheState().resting.load(std::memory_order_relaxed);
}

bool Placement::HasBrokenUp()
{
    return TheState().brokenUp.load(std::memory_order_relaxed);
}

long Placement::LateMixes()
{
    return TheState().lateMixes.load(std::memory_order_relaxed);
}

int Placement::BufferFrames()
{
    const State& state = TheState();
    AudioLock lock;
    return state.clock ? state.clock->BufferFrames() : state.bufferFrames;
}

int Placement::EarlyStartMilliseconds()
{
    const State& state = TheState();  // fixed at Open, before any stroke
    return EarlyStartFrames(state) * 1000 / state.rate;
}

int Placement::LeadFrames()
{
    // The latency, the mix's own buffer, a start asked for early, and room
    // for the anchor of a long stroke on a device whose rate is a little off,
    // or of strings that come late together after a stall; with a small
    // buffer at least as much as a 1024-frame buffer has, or such strings
    // would not fit and come out of order.
    const State& state = TheState();
    return std::max(state.bufferFrames * 4 + EarlyStartFrames(state), MinimumLeadMs * state.rate / 1000);
}

int Placement::Start(Mix_Chunk* chunk, int loops, int number, std::int64_t due)
{
    State& state = TheState();
    AudioLock lock;
    const Uint32 lead = static_cast<Uint32>(LeadFrames()) * FrameBytes;
    if (!state.clock || chunk->alen < lead)
        return -1;
    if (number == -1 && (number = FreeChannel(state)) == -1)
        return -1;
    if (number < 0 || number >= Channels)
        return Mix_PlayChannelTimed(number, chunk, loops, -1);  // the mixer's own answer
    const bool woke = WakeUp(state);
    Uint32 skip = lead;  // a looping chunk starts with its sound
    if (loops == 0) {
        const std::int64_t frame = woke ? FrameAfterWake(state, due) : FrameFor(state, due, false);
        const std::int64_t delay = frame - state.clock->NextMixFrame();
        skip = lead - static_cast<Uint32>(delay) * FrameBytes;
    }
    Channel& channel = state.channels[number];
    const int playing = PlayWindow(channel, number, *chunk, skip, chunk->alen - skip, loops);
    if (playing == number)
        channel.chunk = chunk;
    return playing;
}

void Placement::CutAll(std::int64_t due)
{
    State& state = TheState();
    AudioLock lock;
    if (!state.clock)
        return;
    WakeUp(state);
    const std::int64_t cut = FrameFor(state, due, true);
    const std::int64_t next = state.clock->NextMixFrame();
    for (int number = 0; number < Channels; ++number) {
        if (!Mix_Playing(number))
            continue;
        Channel& channel = state.channels[number];
        const Mix_Chunk& window = channel.windows[channel.current];
        const std::int64_t played = (next - channel.firstFrame) * FrameBytes;
        const std::int64_t left = (cut - next) * FrameBytes;
        // Paused, looping (never done by the program) or not ours: at once.
        if (left <= 0 || Mix_Paused(number) || channel.looping || Mix_GetChunk(number) != &window) {
            Mix_HaltChannel(number);
            continue;
        }
        if (played + left < window.alen)
            PlayWindow(channel, number, window, static_cast<Uint32>(played), static_cast<Uint32>(left), 0);
        channel.cut = true;  // (a sound that ends before the cut ends by itself)
    }
}

void Placement::ReleaseChannelsOf(const Mix_Chunk* chunk)
{
    State& state = TheState();
    AudioLock lock;
    for (int number = 0; number < Channels; ++number) {
        const Channel& channel = state.channels[number];
        const Mix_Chunk* playing = Mix_GetChunk(number);
        if (channel.chunk != chunk || (playing != &channel.windows[0] && playing != &channel.windows[1]))
            continue;
        Mix_Pause(number);
        Mix_HaltChannel(number);
    }
}

std::int64_t Placement::Now()
{
    // The counter's frequency is fixed at boot: a nanosecond count on Linux,
    // usually ten million a second on Windows.
    static const std::int64_t frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return value.QuadPart;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    // In two steps, so that the count times 1e9 never overflows.
    constexpr std::int64_t Nanoseconds = 1'000'000'000;
    return now.QuadPart / frequency * Nanoseconds + now.QuadPart % frequency * Nanoseconds / frequency;
}

}  // namespace Mivo
