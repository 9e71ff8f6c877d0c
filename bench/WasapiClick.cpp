// wasapi_click: the floor under the Windows build's key-to-sound time, the
// most direct path a Windows program has to the speaker. A window that, on
// every key pressed (not auto-repeated), writes a click (a constant level
// for 50 ms, then silence) into a WASAPI shared-mode stream at the shortest
// period the audio engine offers, from the stream's next period on. Built by
// the Windows build only; wine_timing (a Linux program) measures it under
// Wine beside strumkey.exe.
//
//   wasapi_click.exe   prints the stream it got, then shows the window
//                      "WasapiClick" once the stream runs; closing it ends

#include <windows.h>
#include <audioclient.h>
#include <mmdeviceapi.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <thread>
#include <utility>

namespace {

// ---- Handles ----------------------------------------------------------------

// Owns one reference to a COM object.
template <typename T>
class Com {
public:
    Com() = default;
    ~Com()
    {
        if (object != nullptr)
            object->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;

    T* operator->() const { return object; }
    T* Get() const { return object; }
    // Where a call that hands out a reference writes it.
    T** Put() { return &object; }
    void** PutVoid() { return reinterpret_cast<void**>(&object); }

private:
    T* object = nullptr;
};

class ComApartment {
public:
    ComApartment() : ok(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ~ComApartment()
    {
        if (ok)
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Ok() const { return ok; }

private:
    bool ok;
};

class Event {
public:
    Event() : handle(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~Event()
    {
        if (handle != nullptr)
            CloseHandle(handle);
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE Get() const { return handle; }

private:
    HANDLE handle;
};

struct CoTaskFree {
    void operator()(void* memory) const { CoTaskMemFree(memory); }
};
using MixFormat = std::unique_ptr<WAVEFORMATEX, CoTaskFree>;

bool Failed(HRESULT result, const char* what)
{
    if (SUCCEEDED(result))
        return false;
    std::fprintf(stderr, "wasapi_click: %s failed (0x%08lx)\n", what, static_cast<unsigned long>(result));
    return true;
}

// ---- The stream ---------------------------------------------------------------

constexpr int ClickMilliseconds = 50;
constexpr double ClickLevel = 0.125;  // of full scale: 4096 in 16 bits

// The engine's samples: 32-bit float (what shared mode mixes in) or 16-bit.
enum class Sample { Float, Int16, Unknown };

Sample SampleOf(const WAVEFORMATEX& format)
{
    WORD tag = format.wFormatTag;
    if (tag == WAVE_FORMAT_EXTENSIBLE)
        // The subformat GUIDs of PCM and float carry the old format tag first.
        tag = static_cast<WORD>(reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(format).SubFormat.Data1);
    if (tag == WAVE_FORMAT_IEEE_FLOAT && format.wBitsPerSample == 32)
        return Sample::Float;
    if (tag == WAVE_FORMAT_PCM && format.wBitsPerSample == 16)
        return Sample::Int16;
    return Sample::Unknown;
}

class ClickStream {
public:
    // Opens the default render device in shared mode, event-driven, at its
    // shortest period; check Ready().
    ClickStream()
    {
        Com<IMMDeviceEnumerator> devices;
        if (Failed(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                    devices.PutVoid()),
                   "the device enumerator") ||
            Failed(devices->GetDefaultAudioEndpoint(eRender, eConsole, device.Put()), "the default device") ||
            Failed(device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, client.PutVoid()), "IAudioClient"))
            return;
        WAVEFORMATEX* mix = nullptr;
        if (Failed(client->GetMixFormat(&mix), "GetMixFormat"))
            return;
        format.reset(mix);
        sample = SampleOf(*format);
        if (sample == Sample::Unknown) {
            std::fprintf(stderr, "wasapi_click: the engine mixes %u-bit samples of tag %u\n", format->wBitsPerSample,
                         format->wFormatTag);
            return;
        }
        if (!Initialize() || Failed(client->SetEventHandle(ready.Get()), "SetEventHandle") ||
            Failed(client->GetBufferSize(&bufferFrames), "GetBufferSize") ||
            Failed(client->GetService(__uuidof(IAudioRenderClient), render.PutVoid()), "IAudioRenderClient"))
            return;
        REFERENCE_TIME latency = 0;
        client->GetStreamLatency(&latency);
        std::printf(
            "stream: %lu Hz, %u channels, %s; period %u frames (%s), buffer %u frames, stream latency %.1f ms\n",
            format->nSamplesPerSec, format->nChannels, sample == Sample::Float ? "float" : "16-bit", periodFrames, how,
            bufferFrames, static_cast<double>(latency) / 1e4);
        std::fflush(stdout);
        Fill(bufferFrames);  // silence ahead of the first period, as the stream asks
        if (Failed(client->Start(), "Start"))
            return;
        thread = std::thread([this] { Run(); });
    }
    ~ClickStream()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
        if (render.Get() != nullptr)
            client->Stop();
    }
    ClickStream(const ClickStream&) = delete;
    ClickStream& operator=(const ClickStream&) = delete;

    bool Ready() const { return thread.joinable(); }
    // The click starts at the next period written.
    void Click() { clicks = true; }

private:
    // The shortest period: the engine's own minimum where it tells it
    // (IAudioClient3), else the device's minimum period.
    bool Initialize()
    {
        const DWORD flags = AUDCLNT_STREAMFLAGS_EVENTCALLBACK;
        Com<IAudioClient3> client3;
        UINT32 defaultPeriod = 0, fundamental = 0, minimum = 0, maximum = 0;
        if (SUCCEEDED(client->QueryInterface(__uuidof(IAudioClient3), client3.PutVoid())) &&
            SUCCEEDED(
                client3->GetSharedModeEnginePeriod(format.get(), &defaultPeriod, &fundamental, &minimum, &maximum)) &&
            minimum > 0 && SUCCEEDED(client3->InitializeSharedAudioStream(flags, minimum, format.get(), nullptr))) {
            periodFrames = minimum;
            how = "the engine's minimum";
            return true;
        }
        REFERENCE_TIME defaultDevicePeriod = 0, minimumPeriod = 0;
        if (Failed(client->GetDevicePeriod(&defaultDevicePeriod, &minimumPeriod), "GetDevicePeriod") ||
            Failed(client->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, minimumPeriod, 0, format.get(), nullptr),
                   "Initialize"))
            return false;
        periodFrames = static_cast<UINT32>(minimumPeriod * format->nSamplesPerSec / 10000000);
        how = "the device's minimum";
        return true;
    }

    void Run()
    {
        while (!stop) {
            if (WaitForSingleObject(ready.Get(), 200) != WAIT_OBJECT_0)
                continue;
            UINT32 padding = 0;
            if (FAILED(client->GetCurrentPadding(&padding)))
                break;
            if (clicks.exchange(false))
                clickLeft = static_cast<UINT32>(format->nSamplesPerSec * ClickMilliseconds / 1000);
            Fill(bufferFrames - padding);
        }
    }

    // Writes frames: what is left of the click, then silence.
    void Fill(UINT32 frames)
    {
        BYTE* data = nullptr;
        if (frames == 0 || FAILED(render->GetBuffer(frames, &data)))
            return;
        const UINT32 loud = std::min(frames, clickLeft);
        const std::size_t values = static_cast<std::size_t>(frames) * format->nChannels;
        const std::size_t loudValues = static_cast<std::size_t>(loud) * format->nChannels;
        if (sample == Sample::Float)
            std::fill_n(std::fill_n(reinterpret_cast<float*>(data), loudValues, static_cast<float>(ClickLevel)),
                        values - loudValues, 0.0f);
        else
            std::fill_n(std::fill_n(reinterpret_cast<std::int16_t*>(data), loudValues,
                                    static_cast<std::int16_t>(ClickLevel * 32768)),
                        values - loudValues, std::int16_t{0});
        clickLeft -= loud;
        render->ReleaseBuffer(frames, 0);
    }

    Com<IMMDevice> device;
    Com<IAudioClient> client;
    Com<IAudioRenderClient> render;
    MixFormat format;
    Sample sample = Sample::Unknown;
    Event ready;
    UINT32 bufferFrames = 0, periodFrames = 0;
    const char* how = "";
    UINT32 clickLeft = 0;  // the audio thread's
    std::atomic<bool> clicks{false}, stop{false};
    std::thread thread;
};

// ---- The window -----------------------------------------------------------------

ClickStream* TheStream = nullptr;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if ((lParam & (1 << 30)) == 0)  // not a repeat
            TheStream->Click();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int main()
{
    const ComApartment com;
    if (!com.Ok())
        return 1;
    ClickStream stream;
    if (!stream.Ready())
        return 1;
    TheStream = &stream;

    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"WasapiClick";
    if (RegisterClassW(&windowClass) == 0 ||
        CreateWindowExW(0, windowClass.lpszClassName, L"WasapiClick", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CW_USEDEFAULT,
                        CW_USEDEFAULT, 320, 200, nullptr, nullptr, instance, nullptr) == nullptr)
        return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    TheStream = nullptr;
    return 0;
}
