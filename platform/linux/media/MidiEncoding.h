#pragma once
// Packed short MIDI messages as sequencer events. Internal to platform/.

#include <alsa/asoundlib.h>

#include "platform/Win32.h"

namespace platform {

// Sets the event's type, length and data for a short message as
// midiOutShortMsg takes it (status in bits 0 to 7, data bytes above it; the
// data bytes keep their low 7 bits). Source, destination and timing are left
// to the caller. False, with the event untouched, for a message without a
// status byte or with system exclusive or an undefined status.
bool EncodeShortMessage(DWORD message, snd_seq_event_t& event);

// The bytes of the message on the wire (1 to 3), or 0 for one that
// EncodeShortMessage refuses.
int ShortMessageLength(DWORD message);

// The event for the port's subscribers at once (no queue), from the port.
// False, as EncodeShortMessage, for a message without a short meaning.
bool EncodeForSubscribers(DWORD message, int port, snd_seq_event_t& event);

}  // namespace platform
