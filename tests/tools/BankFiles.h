#pragma once

// Independent readers for what the bank generator writes: a RIFF/WAV parser
// and a zip walker that checks every structural rule the program's archive
// reader relies on. Deliberately separate from the program's own code.

#include <cstdint>
#include <map>
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

// A bank folder as the program finds it: se.csv and se.dat.
struct BankOnDisk {
    std::vector<std::string> comments;
    std::vector<std::pair<int, std::string>> rows;  // id, file name; id -1 where the line has no comma
    std::map<std::string, Bytes> members;           // of se.dat
    std::string archiveError;                       // why se.dat is not a good archive

    explicit BankOnDisk(const std::string& folder);

    // The sample of row i, first channel in 16-bit units; false with a reason
    // when it is missing or not 16-bit PCM.
    bool Sample(std::size_t row, Wav& wav, std::string& why) const;
};
