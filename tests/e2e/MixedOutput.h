#pragma once
// The mixed output that SDL's disk driver wrote (signed 16-bit little-endian
// stereo frames), read back as steps of its left channel: a sample starting
// is a rise by its level, a sample ending or cut a fall.

#include <string>
#include <vector>

struct Step {
    long frame;  // the first frame at the new level
    int delta;
};

struct Onset {
    long frame;
    int id;  // -1: the rise is no sample of the test bank at that volume
};

class MixedOutput {
public:
    explicit MixedOutput(const std::string& rawFile);

    long Frames() const { return static_cast<long>(left.size()); }
    int Level(long frame) const;
    std::vector<Step> Steps() const;

    // Every rise, named after the sample whose level it is at volume (the
    // volume the rise happened at).
    std::vector<Onset> Onsets(int volume) const;

private:
    std::vector<int> left;
};

// The ids of onsets, in order.
std::vector<int> IdsOf(const std::vector<Onset>& onsets);
