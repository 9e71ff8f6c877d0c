#pragma once
// MIDI output as a JACK client "strumkey" with one MIDI output port
// "midi_out", where a JACK server (jackd, or PipeWire's JACK) runs. The
// library is loaded when the first output opens, so the program starts and
// plays where none is installed. Internal to platform/.
//
// A message is stamped with the moment it was sent and written into the
// cycle one period later, on the frame of that moment: the time between two
// messages is kept to the frame, whatever the period. A port connected later
// receives the program changes sent so far, as a synthesizer set up before
// it was connected would have.

#include <memory>

#include "platform/Win32.h"

namespace platform {

class JackMidiOutput {
public:
    // Null, quietly, without a JACK library or server. Never starts a server.
    static std::unique_ptr<JackMidiOutput> Open();

    // Gives the last messages sent time to leave (a few cycles at most), then
    // closes the client.
    virtual ~JackMidiOutput() = default;

    // Any thread, without a lock: false when the message could not be queued.
    virtual bool Send(DWORD message) = 0;
};

}  // namespace platform
