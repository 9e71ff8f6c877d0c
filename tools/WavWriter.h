#pragma once

#include <cstdint>
#include <vector>

// The bytes of a canonical PCM WAV file: RIFF header, "fmt " and "data"
// chunks, 16-bit mono little-endian samples.
std::vector<std::uint8_t> EncodeWav(const std::vector<std::int16_t>& samples, int sampleRate);
