#include "platform/linux/media/JackMidiOutput.h"

#include <dlfcn.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <thread>
#include <type_traits>

#include "platform/linux/media/MidiEncoding.h"
#include "platform/linux/media/MidiMessageQueue.h"

namespace platform {
namespace {

// The calls this output makes, from the library found at run time.
struct JackLibrary {
    decltype(&jack_client_open) clientOpen;
    decltype(&jack_client_close) clientClose;
    decltype(&jack_port_register) portRegister;
    decltype(&jack_port_by_id) portById;
    decltype(&jack_set_process_callback) setProcessCallback;
    decltype(&jack_set_port_connect_callback) setPortConnectCallback;
    decltype(&jack_on_shutdown) onShutdown;
    decltype(&jack_activate) activate;
    decltype(&jack_port_get_buffer) portGetBuffer;
    decltype(&jack_midi_clear_buffer) midiClearBuffer;
    decltype(&jack_midi_event_write) midiEventWrite;
    decltype(&jack_last_frame_time) lastFrameTime;
    decltype(&jack_time_to_frames) timeToFrames;
    decltype(&jack_get_time) getTime;
    decltype(&jack_set_error_function) setErrorFunction;
    decltype(&jack_set_info_function) setInfoFunction;

    // Loaded once and kept for the process's life; null without a library
    // that has every call.
    static const JackLibrary* Load()
    {
        static const std::optional<JackLibrary> library = Find();
        return library ? &*library : nullptr;
    }

private:
    static std::optional<JackLibrary> Find()
    {
        void* handle = dlopen("libjack.so.0", RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr)
            return std::nullopt;
        JackLibrary jack;
        bool complete = true;
        auto bind = [&](auto& call, const char* name) {
            call = reinterpret_cast<std::remove_reference_t<decltype(call)>>(dlsym(handle, name));
            complete = complete && call != nullptr;
        };
        bind(jack.clientOpen, "jack_client_open");
        bind(jack.clientClose, "jack_client_close");
        bind(jack.portRegister, "jack_port_register");
        bind(jack.portById, "jack_port_by_id");
        bind(jack.setProcessCallback, "jack_set_process_callback");
        bind(jack.setPortConnectCallback, "jack_set_port_connect_callback");
        bind(jack.onShutdown, "jack_on_shutdown");
        bind(jack.activate, "jack_activate");
        bind(jack.portGetBuffer, "jack_port_get_buffer");
        bind(jack.midiClearBuffer, "jack_midi_clear_buffer");
        bind(jack.midiEventWrite, "jack_midi_event_write");
        bind(jack.lastFrameTime, "jack_last_frame_time");
        bind(jack.timeToFrames, "jack_time_to_frames");
        bind(jack.getTime, "jack_get_time");
        bind(jack.setErrorFunction, "jack_set_error_function");
        bind(jack.setInfoFunction, "jack_set_info_function");
        if (!complete) {
            dlclose(handle);
            return std::nullopt;
        }
        // A missing server is an ordinary condition, not worth a line on
        // standard error; the program keeps no log.
        jack.setErrorFunction([](const char*) {});
        jack.setInfoFunction([](const char*) {});
        return jack;
    }
};

class JackClient final : public JackMidiOutput {
public:
    JackClient(const JackLibrary& jack, jack_client_t* client) : jack(jack), client(client) {}
    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    ~JackClient() override
    {
        if (active)
            AwaitDelivery();
        jack.clientClose(client);  // stops the cycles first
    }

    bool Start()
    {
        port = jack.portRegister(client, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        if (port == nullptr || jack.setProcessCallback(client, Process, this) != 0 ||
            jack.setPortConnectCallback(client, Connected, this) != 0)
            return false;
        jack.onShutdown(client, ServerGone, this);
        active = jack.activate(client) == 0;
        return active;
    }

    bool Send(DWORD message) override
    {
        if (serverGone.load(std::memory_order_relaxed))
            return false;
        return queue.Push({message, jack.getTime()});
    }

private:
    static constexpr std::size_t QueueLength = 256;  // a reset is 48 messages

    // JACK's real-time thread, once a cycle: what was sent during the last
    // period, each message on its frame.
    static int Process(jack_nframes_t frames, void* user)
    {
        static_cast<JackClient*>(user)->WriteCycle(frames);
        return 0;
    }

    void WriteCycle(jack_nframes_t frames)
    {
        void* buffer = jack.portGetBuffer(port, frames);
        jack.midiClearBuffer(buffer);
        if (replayPrograms.exchange(false, std::memory_order_acquire)) {
            for (DWORD program : programs)
                if (program != 0)
                    Write(buffer, 0, program);
        }
        const jack_nframes_t cycleStart = jack.lastFrameTime(client);
        jack_nframes_t last = 0;
        for (;;) {
            if (!held)
                held = queue.Pop();
            if (!held)
                break;
            // One period after it was sent: what was sent during the last
            // period lands in this cycle, on its frame.
            const jack_nframes_t frame = jack.timeToFrames(client, held->time) + frames;
            const auto offset = static_cast<std::int32_t>(frame - cycleStart);
            if (offset >= static_cast<std::int32_t>(frames))
                break;  // sent while this cycle runs: the next one's
            // Events in a cycle never go back in time.
            last = std::max(last, static_cast<jack_nframes_t>(std::max(offset, 0)));
            if ((held->message & 0xF0) == 0xC0)
                programs[held->message & 0x0F] = held->message;
            Write(buffer, last, held->message);
            held.reset();
        }
        const std::uint64_t cycle = cycles.load(std::memory_order_relaxed) + 1;
        if (!held && queue.Empty())
            deliveredBy.store(cycle, std::memory_order_relaxed);
        cycles.store(cycle, std::memory_order_release);
    }

    void Write(void* buffer, jack_nframes_t offset, DWORD message)
    {
        const jack_midi_data_t bytes[] = {static_cast<jack_midi_data_t>(message & 0xFF),
                                          static_cast<jack_midi_data_t>((message >> 8) & 0x7F),
                                          static_cast<jack_midi_data_t>((message >> 16) & 0x7F)};
        if (const int length = ShortMessageLength(message); length > 0)
            jack.midiEventWrite(buffer, offset, bytes, static_cast<std::size_t>(length));  // a full buffer drops it
    }

    // JACK's notification thread.
    static void Connected(jack_port_id_t source, jack_port_id_t, int connect, void* user)
    {
        auto& self = *static_cast<JackClient*>(user);
        if (connect != 0 && self.jack.portById(self.client, source) == self.port)
            self.replayPrograms.store(true, std::memory_order_release);
    }

    static void ServerGone(void* user) { static_cast<JackClient*>(user)->serverGone.store(true); }

    // Waits until a cycle has written everything sent and one more has run,
    // so that the receivers have read it; a stalled or vanished server is not
    // waited for longer than a quarter of a second.
    void AwaitDelivery()
    {
        using namespace std::chrono;
        const auto deadline = steady_clock::now() + milliseconds(250);
        const std::uint64_t from = cycles.load(std::memory_order_acquire);
        while (!serverGone.load() && steady_clock::now() < deadline) {
            const std::uint64_t delivered = deliveredBy.load(std::memory_order_relaxed);
            if (delivered > from && cycles.load(std::memory_order_acquire) > delivered)
                return;
            std::this_thread::sleep_for(milliseconds(1));
        }
    }

    const JackLibrary& jack;
    jack_client_t* client;
    jack_port_t* port = nullptr;
    bool active = false;
    MidiMessageQueue<QueueLength> queue;
    std::atomic<bool> serverGone{false};
    std::atomic<bool> replayPrograms{false};
    std::atomic<std::uint64_t> cycles{0};
    std::atomic<std::uint64_t> deliveredBy{0};
    // The real-time thread's own.
    std::optional<TimedMessage> held;
    std::array<DWORD, 16> programs{};
};

}  // namespace

std::unique_ptr<JackMidiOutput> JackMidiOutput::Open()
{
    const JackLibrary* jack = JackLibrary::Load();
    if (jack == nullptr)
        return nullptr;
    jack_status_t status;
    jack_client_t* client = jack->clientOpen("strumkey", JackNoStartServer, &status);
    if (client == nullptr)
        return nullptr;
    auto output = std::make_unique<JackClient>(*jack, client);
    if (!output->Start())
        return nullptr;
    return output;
}

}  // namespace platform
