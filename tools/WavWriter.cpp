#include "tools/WavWriter.h"

#include "tools/Bytes.h"

std::vector<std::uint8_t> EncodeWav(const std::vector<std::int16_t>& samples, int sampleRate)
{
    const std::uint32_t channels = 1, bytesPerSample = 2;
    const std::uint32_t dataSize = static_cast<std::uint32_t>(samples.size() * bytesPerSample);
    std::vector<std::uint8_t> out;
    out.reserve(44 + dataSize);
    PutText(out, "RIFF");
    PutU32(out, 36 + dataSize);
    PutText(out, "WAVE");
    PutText(out, "fmt ");
    PutU32(out, 16);
    PutU16(out, 1);  // PCM
    PutU16(out, channels);
    PutU32(out, static_cast<std::uint32_t>(sampleRate));
    PutU32(out, static_cast<std::uint32_t>(sampleRate) * channels * bytesPerSample);
    PutU16(out, channels * bytesPerSample);
    PutU16(out, 8 * bytesPerSample);
    PutText(out, "data");
    PutU32(out, dataSize);
    for (std::int16_t s : samples)
        PutU16(out, static_cast<std::uint16_t>(s));
    return out;
}
