#pragma once

#include "tools/Signal.h"

// One plucked note of a steel-string guitar, about two seconds long, at the
// equal-tempered pitch of the MIDI note (A4 = 440 Hz).
Signal PluckedNote(int midiNote);

double NoteFrequency(int midiNote);
