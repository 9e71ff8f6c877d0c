#pragma once
// The stroke scheduler: a chord becomes a strum. The lowest sounding string
// plays at once, every further string one interval after the one before, each
// from a one-shot multimedia timer whose trigger starts the note's sample on a
// free mixer channel. A new stroke, the space key and shutdown cancel every
// pending trigger.
//
// While MIDI notes are sent (stroke/MidiNotes.h) every string also has a
// MIDI trigger, on the string's very time, and every cut ends the notes.
//
// All functions but NoteTimerProc run on the dialog's thread; NoteTimerProc
// runs on the timer thread. Nothing is allocated and no lock is taken here.

#include "platform/Win32.h"
#include "stroke/ChordShapes.h"

#include <atomic>
#include <cstdint>

// One pending or spent trigger.
struct NoteSlot {
    // The armed one-shot timer, 0 when none is armed. Written by the dialog
    // thread (arm, kill) and by this slot's own trigger (spent). An atomic
    // word: the trigger's 0, written after its note has started, is a release
    // that CancelPendingNotes acquires, so a slot seen idle has no trigger
    // still running. While the dialog thread arms the timer the slot holds
    // ArmingTimerId, and the returned id replaces that mark only if the
    // trigger has not already spent the slot: a slot never keeps a spent id.
    std::atomic<UINT> timerId{0};
    // Packed note-on message: 0x90 | channel, note in bits 8 to 15, MIDI
    // velocity in bits 16 to 23.
    DWORD message = 0;
    // What the trigger does: send the message as a MIDI note (true) or start
    // the sample of its note.
    bool midiNote = false;
    // When the note is due (Placement::Now): its sound is placed
    // there, however late the trigger runs.
    std::int64_t due = 0;
};

constexpr int NoteSlotCount = 32;

// The mark of a slot whose timer is being armed. Should the timer service
// ever hand back this very number, the slot still names its own timer.
constexpr UINT ArmingTimerId = 0xFFFFFFFFu;

// The process-wide ring of pending-note slots and the index of the next one.
struct NoteSlotRing {
    NoteSlot slots[NoteSlotCount];
    int next = 0;
};

extern NoteSlotRing TheNoteSlots;

// The index 0, as at start-up. Kills nothing: no trigger may be pending, so
// every timer id is 0 already (checked).
void ResetNoteSlots();

// Cancels the previous stroke, stops every sound, and strums the chord of
// root and kind: string 6 to string 1, skipping muted strings, each sounding
// string interval milliseconds after the previous one. The old sounds stop
// on the very frame where the first string starts.
void StartStroke(int root, ChordKind kind, BYTE velocity, int interval);

// Fills the next slot of the ring with the note and, for a delay other than
// 0, arms a one-shot timer for it: the timer id, or 0 when timeSetEvent
// refused. A delay of 0 plays the note at once and returns 0. The note is due
// delay milliseconds after from (Placement::Now; without it, now),
// and is placed there; its timer fires up to Placement::EarlyStartMilliseconds
// before. Velocity is the stroke's strength (0 to 128). With MIDI notes, the
// next slot also holds the MIDI note, sent at once or by a timer of its own
// on the note's time.
UINT ScheduleNote(BYTE channel, BYTE note, BYTE velocity, int delay);
UINT ScheduleNote(BYTE channel, BYTE note, BYTE velocity, int delay, std::int64_t from);

// Kills every armed timer of the ring; the ring index stays.
void CancelPendingNotes();

// Starts the sample of soundId once on any free channel (channel 0 when none
// is free), to sound at time due (without it, now); nothing when the sound
// table lacks it or it never loaded.
void PlaySound(int soundId);
void PlaySound(int soundId, std::int64_t due);

// Cuts every sound at time due (without it, now), when the audio device is
// open, and sends the note-offs of the MIDI notes that sound.
void StopAllSounds();
void StopAllSounds(std::int64_t due);

// The trigger: the user value is the address of its NoteSlot.
void CALLBACK NoteTimerProc(UINT timerId, UINT message, DWORD_PTR user, DWORD_PTR reserved1, DWORD_PTR reserved2);
