#include "tests/tools/PitchMeter.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace {

double CoarsePeriod(const std::vector<double>& x, double sampleRate, double minHz, double maxHz)
{
    const int shortest = static_cast<int>(sampleRate / maxHz);
    const int longest = static_cast<int>(sampleRate / minHz) + 1;
    const int window = static_cast<int>(x.size()) - longest;
    if (shortest < 2 || window < longest)
        return 0.0;
    std::vector<double> normalised(longest + 1, 1.0);
    double running = 0.0;
    for (int tau = 1; tau <= longest; ++tau) {
        double d = 0.0;
        for (int i = 0; i < window; ++i) {
            const double e = x[i] - x[i + tau];
            d += e * e;
        }
        running += d;
        normalised[tau] = running > 0.0 ? d * tau / running : 1.0;
    }
    // First dip under the threshold, followed down to its minimum; that is
    // the period and not a multiple of it.
    int best = 0;
    for (int tau = shortest; tau <= longest; ++tau) {
        if (normalised[tau] < 0.15) {
            while (tau < longest && normalised[tau + 1] < normalised[tau])
                ++tau;
            best = tau;
            break;
        }
        if (best == 0 || normalised[tau] < normalised[best])
            best = tau;
    }
    return best;
}

double WindowedMagnitude(const std::vector<double>& x, double sampleRate, double hz)
{
    const std::size_t n = x.size();
    const std::complex<double> step = std::polar(1.0, -2.0 * std::numbers::pi * hz / sampleRate);
    std::complex<double> turn = 1.0, sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / (n - 1));
        sum += hann * x[i] * turn;
        turn *= step;
    }
    return std::abs(sum);
}

}  // namespace

double MeasurePitch(const std::vector<double>& x, double sampleRate, double minHz, double maxHz)
{
    const double period = CoarsePeriod(x, sampleRate, minHz, maxHz);
    if (period <= 0.0)
        return 0.0;
    const double coarse = sampleRate / period;
    // Scan +-4 % (more than the coarse estimate's error) for the main lobe,
    // then close in on its top by golden-section search.
    const int steps = 80;
    double low = coarse / 1.04, high = coarse * 1.04;
    const double step = (high - low) / steps;
    double bestHz = low, bestMagnitude = -1.0;
    for (int i = 0; i <= steps; ++i) {
        const double hz = low + i * step;
        const double m = WindowedMagnitude(x, sampleRate, hz);
        if (m > bestMagnitude)
            bestMagnitude = m, bestHz = hz;
    }
    low = bestHz - step;
    high = bestHz + step;
    const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
    double a = high - ratio * (high - low), b = low + ratio * (high - low);
    double ma = WindowedMagnitude(x, sampleRate, a), mb = WindowedMagnitude(x, sampleRate, b);
    while (high - low > 1e-4) {
        if (ma > mb) {
            high = b, b = a, mb = ma;
            a = high - ratio * (high - low);
            ma = WindowedMagnitude(x, sampleRate, a);
        } else {
            low = a, a = b, ma = mb;
            b = low + ratio * (high - low);
            mb = WindowedMagnitude(x, sampleRate, b);
        }
    }
    return (low + high) / 2.0;
}

double CentsBetween(double measuredHz, double expectedHz)
{
    return 1200.0 * std::log2(measuredHz / expectedHz);
}
