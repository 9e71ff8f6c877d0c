#pragma once

// Independent readers for what the bank generator writes: a RIFF/WAV parser
// and a zip walker that checks every structural rule the program's archive
// reader relies on. Deliberately separate from the program's own code.

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFileBytes(const std::string& path);

struct Wav {
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    std::vector<double> samples;  // first channel, in 16-bit units
};

// Walks the RIFF chunks; false with a reason for anything but 16-bit PCM.
bool ParseWav(const Bytes& file, Wav& wav, std::string& why);

struct ZipMember {
    std::string name;
    Bytes data;
};

// Parses a zip of stored members the way the program reads it, and checks
// on the way: local header at offset 0, an end record that ends the file,
// central and local headers agreeing (name, lengths, sizes, CRC), method 0,
// no data descriptor, no encryption, CRC-32 of the data. False with a reason
// at the first violation.
bool ParseStoredZip(const Bytes& archive, std::vector<ZipMember>& members, std::string& why);
