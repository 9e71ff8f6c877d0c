// winmm: MIDI output over the ALSA sequencer and JACK. The one output device
// is a sequencer client "Strumkey" with one port and, where a JACK server
// runs, a JACK client "strumkey" with one MIDI port; whatever is connected to
// either (a synthesizer, a recorder, a hardware port) receives the messages.
// Sending takes no lock and allocates nothing: it runs on the play path, from
// the dialog and timer threads at once.

#include <alsa/asoundlib.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/linux/media/JackMidiOutput.h"
#include "platform/linux/media/MidiEncoding.h"
#include "platform/linux/media/MidiMessageQueue.h"
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

// The sequencer port. A sequencer handle is not thread-safe, so every sender
// queues its message and then writes out the queue unless another sender is
// already doing so, which then writes the message too: nobody waits.
class SequencerOutput {
public:
    SequencerOutput(Sequencer seq, int port) : seq(std::move(seq)), port(port) {}

    static std::unique_ptr<SequencerOutput> Open()
    {
        static std::once_flag quiet;
        std::call_once(quiet, [] { snd_lib_error_set_handler(IgnoreAlsaError); });
        snd_seq_t* opened = nullptr;
        if (snd_seq_open(&opened, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0)
            return nullptr;
        Sequencer seq(opened);
        snd_seq_set_client_name(seq.get(), "Strumkey");
        int port = snd_seq_create_simple_port(seq.get(), "Strumkey", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                              SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        if (port < 0)
            return nullptr;
        return std::make_unique<SequencerOutput>(std::move(seq), port);
    }

    // The sequencer is opened non-blocking: a stalled receiver drops the
    // message instead of stalling the sender.
    bool Send(DWORD message)
    {
        if (!queue.Push({message, 0}))
            return false;
        while (!writing.exchange(true)) {
            while (std::optional<platform::TimedMessage> next = queue.Pop()) {
                snd_seq_event_t event;
                if (platform::EncodeForSubscribers(next->message, port, event))
                    snd_seq_event_output_direct(seq.get(), &event);
            }
            writing.store(false);
            // A message queued after the last Pop, by a sender that found
            // the queue being written, is written now.
            if (queue.Empty())
                break;
        }
        return true;
    }

private:
    Sequencer seq;
    int port;
    platform::MidiMessageQueue<256> queue;
    std::atomic<bool> writing{false};
};

class MidiOutDevice {
public:
    MidiOutDevice(std::unique_ptr<SequencerOutput> sequencer, std::unique_ptr<platform::JackMidiOutput> jack)
        : sequencer(std::move(sequencer)), jack(std::move(jack))
    {}

    MMRESULT Send(DWORD message)
    {
        if (platform::ShortMessageLength(message) == 0)
            return MMSYSERR_INVALPARAM;
        // Both are tried even when one fails.
        const bool toSequencer = !sequencer || sequencer->Send(message);
        const bool toJack = !jack || jack->Send(message);
        return toSequencer && toJack ? MMSYSERR_NOERROR : MIDIERR_NOTREADY;
    }

    // The calls in flight on this device, which its closing waits for.
    std::atomic<int> users{0};

private:
    std::unique_ptr<SequencerOutput> sequencer;
    std::unique_ptr<platform::JackMidiOutput> jack;
};

// The open devices, found without the handle table's lock: a handle is the
// device's address, valid while it is entered here.
std::array<std::atomic<MidiOutDevice*>, 8> OpenDevices{};

// A device in use: found by its handle and kept open while this lives.
class DeviceUse {
public:
    explicit DeviceUse(HMIDIOUT midiOut)
    {
        auto* wanted = reinterpret_cast<MidiOutDevice*>(midiOut);
        if (wanted == nullptr)
            return;
        for (std::atomic<MidiOutDevice*>& entry : OpenDevices) {
            if (entry.load() != wanted)
                continue;
            wanted->users.fetch_add(1);
            // Closed between the look and the count: not ours to use.
            if (entry.load() == wanted)
                device = wanted;
            else
                wanted->users.fetch_sub(1);
            return;
        }
    }
    ~DeviceUse()
    {
        if (device != nullptr)
            device->users.fetch_sub(1);
    }
    DeviceUse(const DeviceUse&) = delete;
    DeviceUse& operator=(const DeviceUse&) = delete;

    MidiOutDevice* operator->() const { return device; }
    MidiOutDevice& operator*() const { return *device; }
    explicit operator bool() const { return device != nullptr; }

private:
    MidiOutDevice* device = nullptr;
};

MMRESULT SendController(MidiOutDevice& device, int channel, unsigned char controller, int value)
{
    return device.Send(static_cast<DWORD>(0xB0 | channel) | (static_cast<DWORD>(controller) << 8) |
                       (static_cast<DWORD>(value) << 16));
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

    std::unique_ptr<SequencerOutput> sequencer = SequencerOutput::Open();
    std::unique_ptr<platform::JackMidiOutput> jack = platform::JackMidiOutput::Open();
    if (!sequencer && !jack)
        return MMSYSERR_BADDEVICEID;
    auto device = std::make_unique<MidiOutDevice>(std::move(sequencer), std::move(jack));
    for (std::atomic<MidiOutDevice*>& entry : OpenDevices) {
        MidiOutDevice* empty = nullptr;
        if (entry.compare_exchange_strong(empty, device.get())) {
            *midiOut = reinterpret_cast<HMIDIOUT>(device.release());
            return MMSYSERR_NOERROR;
        }
    }
    return MMSYSERR_NOMEM;
}

MMRESULT midiOutShortMsg(HMIDIOUT midiOut, DWORD message)
{
    DeviceUse device(midiOut);
    if (!device)
        return MMSYSERR_INVALHANDLE;
    return device->Send(message);
}

MMRESULT midiOutReset(HMIDIOUT midiOut)
{
    DeviceUse device(midiOut);
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
    auto* device = reinterpret_cast<MidiOutDevice*>(midiOut);
    for (std::atomic<MidiOutDevice*>& entry : OpenDevices) {
        MidiOutDevice* expected = device;
        if (device == nullptr || !entry.compare_exchange_strong(expected, nullptr))
            continue;
        // A call still sending on another thread finishes first.
        std::unique_ptr<MidiOutDevice> closing(device);
        while (closing->users.load() != 0)
            std::this_thread::yield();
        return MMSYSERR_NOERROR;
    }
    return MMSYSERR_INVALHANDLE;
}
