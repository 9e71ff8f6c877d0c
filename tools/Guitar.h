#pragma once

#include "tools/Signal.h"

// One plucked note of a steel-string guitar at the equal-tempered pitch of the
// MIDI note (A4 = 440 Hz): NoteRenderSeconds (tools/NoteShaping.h) long, starting at its first sample
// with a short attack and still ringing at its end (no fade-out).
Signal PluckedNote(int midiNote);

double NoteFrequency(int midiNote);
