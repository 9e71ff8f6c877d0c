#pragma once
// Every string that sounds also goes out as a MIDI note, when the player asks
// for it (MidiNotes=1): a note-on as its sample starts, a note-off when it is
// cut. What sounds is kept per channel and note, so a cut ends exactly those
// notes and a note struck again is ended before it starts anew.
//
// SendMidiNotesTo and SendNoteOffs run on the dialog thread while no trigger
// runs (after CancelPendingNotes); SendNoteOn runs on the dialog thread and
// the timer thread. None takes a lock or allocates.

#include "platform/Win32.h"

// The output the notes go to; null (as at start-up) sends none.
void SendMidiNotesTo(HMIDIOUT midiOut);
bool SendsMidiNotes();

// The velocity of a stroke's strength (0 to 128, as the slider sets it): 1
// to 127, so that even the softest stroke is a note-on.
BYTE MidiVelocity(BYTE strength);

// Sends the packed note-on message, first ending the same note if it sounds.
void SendNoteOn(DWORD message);

// Ends every note that sounds.
void SendNoteOffs();
