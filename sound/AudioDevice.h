#pragma once
// Mivo::AudioDevice: the mixer's audio device, opened the first time anybody
// asks (22050 Hz, signed 16-bit little-endian, stereo, a 1024-frame buffer
// unless told another) and closed at process exit. A device that fails to
// open is never tried again: the program then runs silent.

namespace Mivo {

class AudioDevice {
public:
    // The guard of every direct mixer call.
    static bool IsOpen();

    // The buffer the device opens with, in frames; only before it opens.
    static void UseBufferFrames(int frames);

    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

private:
    AudioDevice();
    ~AudioDevice();

    bool opened = false;
};

}  // namespace Mivo
