#pragma once

#include <cstdint>

// A small deterministic noise source (xorshift64*), so that every build of
// the bank produces the very same bytes.
class Random {
public:
    explicit Random(std::uint64_t seed) : state(seed ? seed : 0x9E3779B97F4A7C15ull) {}

    // Uniform in [-1, 1).
    double Next()
    {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        const std::uint64_t bits = (state * 0x2545F4914F6CDD1Dull) >> 11;
        return static_cast<double>(bits) / 4503599627370496.0 - 1.0;  // 2^52
    }

private:
    std::uint64_t state;
};
