// winmm: MIDI output over the ALSA sequencer. The one output device is a
// sequencer client with one port; whatever is subscribed to the port (a synth,
// a hardware port) receives the messages.

#include <alsa/asoundlib.h>

#include <cerrno>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/linux/kernel/Handles.h"
#include "platform/linux/media/MidiEncoding.h"
#include "platform/Win32.h"

namespace {

constexpr int Channels = 16;
constexpr unsigned char Sustain = 64;
constexpr unsigned char AllSoundOff = 120;
constexpr unsigned char AllNotesOff = 123;
constexpr std::pair<unsigned char, int> ResetControllers[] = {{AllNotesOff, 0}, {AllSoundOff, 0}, {Sustain, 0}};

// ALSA writes its failures to standard error. A missing sequencer is an
// ordinary condition here and the program keeps no log, so ALSA stays quiet;
// the handler is process-wide and quiets the audio path's ALSA use as well.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...)
{}

struct SequencerCloser {
    void operator()(snd_seq_t* seq) const { snd_seq_close(seq); }
};
using Sequencer = std::unique_ptr<snd_seq_t, SequencerCloser>;

class MidiOutDevice : public platform::KernelObject {
public:
    MidiOutDevice(Sequencer seq, int port) : seq(std::move(seq)), port(port) {}
    bool ClosedByCloseHandle() const override { return false; }

    // Sends to the port's subscribers at once, without a queue. The sequencer
    // is opened non-blocking: a stalled receiver drops the event instead of
    // stalling the caller.
    MMRESULT Send(snd_seq_event_t& event)
    {
        snd_seq_ev_set_source(&event, port);
        snd_seq_ev_set_subs(&event);
        snd_seq_ev_set_direct(&event);
        std::lock_guard guard(lock);  // a sequencer handle is not thread-safe
        int result = snd_seq_event_output_direct(seq.get(), &event);
        if (result >= 0)
            return MMSYSERR_NOERROR;
        return result == -EAGAIN ? MIDIERR_NOTREADY : MMSYSERR_ERROR;
    }

private:
    std::mutex lock;
    Sequencer seq;
    int port;
};

std::shared_ptr<MidiOutDevice> FindDevice(HMIDIOUT midiOut)
{
    return platform::FindHandleOf<MidiOutDevice>(reinterpret_cast<HANDLE>(midiOut));
}

MMRESULT SendController(MidiOutDevice& device, int channel, unsigned char controller, int value)
{
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    snd_seq_ev_set_controller(&event, channel, controller, value);
    return device.Send(event);
}

}  // namespace

MMRESULT midiOutOpen(LPHMIDIOUT midiOut, UINT deviceId, DWORD_PTR /*callback*/, DWORD_PTR /*instance*/, DWORD flags)
{
    if (midiOut == nullptr)
        return MMSYSERR_INVALPARAM;
    *midiOut = nullptr;
    if (deviceId != MIDI_MAPPER && deviceId != 0)
        return MMSYSERR_BADDEVICEID;
    if (flags != CALLBACK_NULL)
        return MMSYSERR_INVALFLAG;

    static std::once_flag quiet;
    std::call_once(quiet, [] { snd_lib_error_set_handler(IgnoreAlsaError); });

    snd_seq_t* opened = nullptr;
    if (snd_seq_open(&opened, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0)
        return MMSYSERR_BADDEVICEID;
    Sequencer seq(opened);
    snd_seq_set_client_name(seq.get(), "Strumkey");
    int port = snd_seq_create_simple_port(seq.get(), "Strumkey", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                          SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0)
        return MMSYSERR_ERROR;

    *midiOut = reinterpret_cast<HMIDIOUT>(platform::AddHandle(std::make_shared<MidiOutDevice>(std::move(seq), port)));
    return MMSYSERR_NOERROR;
}

MMRESULT midiOutShortMsg(HMIDIOUT midiOut, DWORD message)
{
    std::shared_ptr<MidiOutDevice> device = FindDevice(midiOut);
    if (!device)
        return MMSYSERR_INVALHANDLE;
    snd_seq_event_t event;
    snd_seq_ev_clear(&event);
    if (!platform::EncodeShortMessage(message, event))
        return MMSYSERR_INVALPARAM;
    return device->Send(event);
}

MMRESULT midiOutReset(HMIDIOUT midiOut)
{
    std::shared_ptr<MidiOutDevice> device = FindDevice(midiOut);
    if (!device)
        return MMSYSERR_INVALHANDLE;
    // Every message is tried even when one fails: as much silence as possible.
    MMRESULT result = MMSYSERR_NOERROR;
    for (int channel = 0; channel < Channels; ++channel) {
        for (auto [controller, value] : ResetControllers) {
            MMRESULT sent = SendController(*device, channel, controller, value);
            if (sent != MMSYSERR_NOERROR)
                result = sent;
        }
    }
    return result;
}

MMRESULT midiOutClose(HMIDIOUT midiOut)
{
    // The sequencer closes with its last user: a call still sending on another
    // thread finishes first.
    auto removed = platform::RemoveHandle(reinterpret_cast<HANDLE>(midiOut), [](const platform::KernelObject& object) {
        return dynamic_cast<const MidiOutDevice*>(&object) != nullptr;
    });
    return removed ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
}
