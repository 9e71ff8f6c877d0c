#pragma once

#include <cmath>
#include <numbers>

// Second-order IIR filter (the usual audio cookbook shapes). Coefficients may
// be changed between samples, which the sweeping effects rely on.
class Biquad {
public:
    void SetBandPass(double frequency, double q, double sampleRate)
    {
        const double w = 2.0 * std::numbers::pi * frequency / sampleRate;
        const double alpha = std::sin(w) / (2.0 * q);
        Set(alpha, 0.0, -alpha, 1.0 + alpha, -2.0 * std::cos(w), 1.0 - alpha);
    }

    void SetLowPass(double frequency, double q, double sampleRate)
    {
        const double w = 2.0 * std::numbers::pi * frequency / sampleRate;
        const double alpha = std::sin(w) / (2.0 * q);
        const double c = std::cos(w);
        Set((1.0 - c) / 2.0, 1.0 - c, (1.0 - c) / 2.0, 1.0 + alpha, -2.0 * c, 1.0 - alpha);
    }

    void SetHighPass(double frequency, double q, double sampleRate)
    {
        const double w = 2.0 * std::numbers::pi * frequency / sampleRate;
        const double alpha = std::sin(w) / (2.0 * q);
        const double c = std::cos(w);
        Set((1.0 + c) / 2.0, -(1.0 + c), (1.0 + c) / 2.0, 1.0 + alpha, -2.0 * c, 1.0 - alpha);
    }

    // Coefficients given directly, a0 taken as 1.
    void SetCoefficients(double nb0, double nb1, double nb2, double na1, double na2)
    {
        Set(nb0, nb1, nb2, 1.0, na1, na2);
    }

    double Process(double x)
    {
        const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

private:
    void Set(double nb0, double nb1, double nb2, double na0, double na1, double na2)
    {
        b0 = nb0 / na0;
        b1 = nb1 / na0;
        b2 = nb2 / na0;
        a1 = na1 / na0;
        a2 = na2 / na0;
    }

    double b0 = 1.0, b1 = 0.0, b2 = 0.0, a1 = 0.0, a2 = 0.0;
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
};
