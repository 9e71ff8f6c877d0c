#include "stroke/StrokeScheduler.h"

#include "stroke/MidiNotes.h"
#include "sound/AudioDevice.h"
#include "sound/Placement.h"
#include "sound/SoundTable.h"
#include "platform/Check.h"

#include <algorithm>

NoteSlotRing TheNoteSlots;

namespace {

// Sample identifier of a note: the lowest guitar note, 40, is identifier 0.
constexpr int LowestNote = 40;

DWORD PackNoteOn(BYTE channel, BYTE note, BYTE velocity)
{
    return static_cast<DWORD>(0x90 | channel) | (static_cast<DWORD>(note) << 8) | (static_cast<DWORD>(velocity) << 16);
}

void PlaySlot(const NoteSlot& slot)
{
    const int note = static_cast<int>((slot.message >> 8) & 0xFF);
    PlaySound(note - LowestNote, slot.due);
}

NoteSlot& NextSlot(DWORD message, std::int64_t due, bool midiNote)
{
    NoteSlot& slot = TheNoteSlots.slots[TheNoteSlots.next];
    TheNoteSlots.next = (TheNoteSlots.next + 1) % NoteSlotCount;
    slot.message = message;
    slot.due = due;
    slot.midiNote = midiNote;
    return slot;
}

// A short timer may fire, play and spend the slot before timeSetEvent has
// even returned: the trigger's 0 then wins over the id.
UINT Arm(NoteSlot& slot, int delay)
{
    slot.timerId.store(ArmingTimerId, std::memory_order_relaxed);
    const UINT result = timeSetEvent(static_cast<UINT>(delay), 1, NoteTimerProc, reinterpret_cast<DWORD_PTR>(&slot),
                                     TIME_ONESHOT | TIME_CALLBACK_FUNCTION);
    UINT expected = ArmingTimerId;
    slot.timerId.compare_exchange_strong(expected, result, std::memory_order_relaxed);
    return result;
}

}  // namespace

void PlaySound(int soundId)
{
    PlaySound(soundId, Mivo::Placement::Now());
}

// Runs on the dialog thread and the timer thread: a map lookup and the
// mixer's own locking, nothing else.
void PlaySound(int soundId, std::int64_t due)
{
    const SoundTable* table = TheSoundTable;
    if (table == nullptr)
        return;
    Mivo::Chunk* const* chunk = table->Find(soundId);
    if (chunk == nullptr || *chunk == nullptr)
        return;
    (*chunk)->Play(0, -1, due);
}

void ResetNoteSlots()
{
    // A pending trigger would fire into a slot that a new stroke reuses.
    for (const NoteSlot& slot : TheNoteSlots.slots)
        STRUMKEY_CHECK(slot.timerId.load(std::memory_order_acquire) == 0);
    TheNoteSlots.next = 0;
}

void StartStroke(int root, ChordKind kind, BYTE velocity, int interval)
{
    // One moment for the whole stroke: the cut and every string are placed
    // from it.
    const std::int64_t now = Mivo::Placement::Now();
    CancelPendingNotes();
    StopAllSounds(now);

    BYTE notes[StringCount];
    const int count = StrokeNotes(static_cast<unsigned int>(root), kind, notes);

    // A muted string takes no time. The running delay wraps like a 32-bit
    // register instead of overflowing: a delay that ends up out of range is
    // refused by the timer and that string stays silent.
    unsigned int delay = 0;
    for (int i = 0; i < count; ++i) {
        ScheduleNote(0, notes[i], velocity, static_cast<int>(delay), now);
        delay += static_cast<unsigned int>(interval);
    }
}

UINT ScheduleNote(BYTE channel, BYTE note, BYTE velocity, int delay)
{
    return ScheduleNote(channel, note, velocity, delay, Mivo::Placement::Now());
}

UINT ScheduleNote(BYTE channel, BYTE note, BYTE velocity, int delay, std::int64_t from)
{
    const DWORD message = PackNoteOn(channel, note, MidiVelocity(velocity));
    const std::int64_t due = from + static_cast<std::int64_t>(delay) * 1000000;
    if (delay == 0) {
        NoteSlot& slot = NextSlot(message, due, false);
        slot.timerId.store(0, std::memory_order_relaxed);
        PlaySlot(slot);
        SendNoteOn(message);
        return 0;
    }
    // The sample's trigger fires ahead of the string's time (its slot's due,
    // where the string is placed), so that a timer thread that comes late is
    // not heard. A MIDI note leaves as it is sent: its trigger fires on time.
    const int early = Mivo::Placement::EarlyStartMilliseconds();
    const UINT result = Arm(NextSlot(message, due, false), delay > 0 ? std::max(delay - early, 1) : delay);
    if (SendsMidiNotes())
        Arm(NextSlot(message, due, true), delay);
    return result;
}

void CancelPendingNotes()
{
    for (NoteSlot& slot : TheNoteSlots.slots) {
        // Acquire: a 0 written by a trigger means that trigger is over.
        const UINT id = slot.timerId.load(std::memory_order_acquire);
        if (id == 0)
            continue;
        // Once this returns the trigger has run or never will.
        timeKillEvent(id);
        slot.timerId.store(0, std::memory_order_relaxed);
    }
}

void StopAllSounds()
{
    StopAllSounds(Mivo::Placement::Now());
}

void StopAllSounds(std::int64_t due)
{
    if (Mivo::AudioDevice::IsOpen())
        Mivo::Placement::CutAll(due);
    SendNoteOffs();
}

void CALLBACK NoteTimerProc(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    NoteSlot& slot = *reinterpret_cast<NoteSlot*>(user);
    // The id goes back to 0 only once the note has been started: while it is
    // set, CancelPendingNotes kills the timer, and timeKillEvent waits for a
    // running trigger to return. So once the cancel before shutdown is done,
    // no trigger is still reading the sound table that shutdown then frees.
    if (slot.midiNote)
        SendNoteOn(slot.message);
    else
        PlaySlot(slot);
    slot.timerId.store(0, std::memory_order_release);
}
