#pragma once

#include "tools/Signal.h"

#include <vector>

// What the bank maker does to every note, recorded or synthesized, so that
// the program can play it as it stands: the program starts a sample on the
// frame a string is due and cuts nothing but what the player cuts.

// Cuts the silence before the sound: the note starts a few samples before its
// onset, faded in over them, so its first sample is silent and the sound comes
// well within half a millisecond.
void StartAtOnset(Signal& note);

// Lets the note ring until it has died away to 45 dB below its loudest, but
// at least MinNoteSeconds and at most MaxNoteSeconds, and fades it out over
// the last 40 % of that: a long note is faded, never cut.
constexpr double MinNoteSeconds = 1.5;
constexpr double MaxNoteSeconds = 4.0;

// How long a note is played or synthesized before it is trimmed: a second more
// than the longest kept, so that the fade, not the recording, ends it.
constexpr double NoteRenderSeconds = MaxNoteSeconds + 1.0;
void RingThenFade(Signal& note);

// Scales the notes (the lowest first, a semitone apart) so that their loudness
// follows a straight line from the lowest to the highest: the instrument's own
// balance of bass and treble is kept, the steps where one recording hands over
// to the next are taken out.
void LevelByLoudness(std::vector<Signal>& notes);
