#pragma once
// The mixed output that SDL's disk driver wrote (signed 16-bit little-endian
// stereo frames), read back as steps of its left channel: a sample starting
// is a rise by its level, a sample ending or cut a fall.

#include <string>
#include <utility>
#include <vector>

struct Step {
    long frame;  // the first frame at the new level
    int delta;
};

struct Onset {
    long frame;
    int id;  // -1: the rise is no sample of the test bank at that volume
};

// Frames [from, to) of the output.
struct Span {
    long from, to;
};

class MixedOutput {
public:
    // Every step-th frame of the file: step 2 reads an output written at twice
    // its rate, each frame twice, as it was mixed.
    explicit MixedOutput(const std::string& rawFile, int step = 1);
    // The left channel given frame by frame.
    explicit MixedOutput(std::vector<int> left) : left(std::move(left)) {}

    long Frames() const { return static_cast<long>(left.size()); }
    int Level(long frame) const;
    std::vector<Step> Steps() const;

    // Every rise, named after the sample whose level it is at volume (the
    // volume the rise happened at).
    std::vector<Onset> Onsets(int volume) const;

    // Where the output rises out of silence, read as a sound server that
    // resampled it on its way leaves it (levels blurred, ringing before and
    // after every step): the first frame louder than threshold after at
    // least quietFrames frames no louder than quiet.
    std::vector<long> Rises(int threshold, int quiet, long quietFrames) const;
    // Runs of frames no louder than quiet inside the spans (which may
    // overlap), each run counted once: silence where sound should be.
    int SilentRuns(const std::vector<Span>& spans, int quiet) const;
    // The output with every run of silence between sounds that is at most
    // longest frames taken out: what the program wrote before a server that
    // ran dry put silence into it (a dropout), for output at its exact levels.
    // removed, if given, gets each run taken out: its length, and where it
    // was in the output returned.
    struct Dropout {
        long at;
        long frames;
        bool operator==(const Dropout&) const = default;
    };
    MixedOutput WithoutDropouts(long longest, std::vector<Dropout>* removed = nullptr) const;

private:
    std::vector<int> left;
};

// The ids of onsets, in order.
std::vector<int> IdsOf(const std::vector<Onset>& onsets);
