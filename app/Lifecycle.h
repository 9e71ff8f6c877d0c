#pragma once
// What the dialog needs around it: start-up before it runs and shutdown after
// it has closed, each in a fixed order, on the main thread.

#include "platform/Win32.h"

// The MIDI output, opened at start-up and reset and closed at shutdown; null
// when no MIDI device is there.
extern HMIDIOUT TheMidiOut;

// The stroke ring idle, the executable's folder current, the settings read,
// the 1 ms timer period, the MIDI program change, the sound table read and
// every sample loaded (and the bank's archives closed again), and the mixer
// volume from the stored strength.
void StartUp();

// No trigger left, every channel halted, MIDI reset and closed, the timer
// period restored, the settings written, the sound table freed.
void ShutDown();
