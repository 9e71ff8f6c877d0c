#pragma once

#include <vector>

// Measures the fundamental frequency of a steady stretch of a tone.
//
// A cumulative-mean-normalised difference function finds the period roughly
// (robust against a weak fundamental), then the frequency is refined to the
// peak of the Hann-windowed spectrum near it, found by evaluating the Fourier
// sum at arbitrary frequencies (the limit of an infinitely zero-padded DFT).
// For a decaying partial the magnitude peak stays at the true frequency, since
// the spectrum of a real, positive envelope peaks at zero.
//
// Returns 0 when no period is found between minHz and maxHz.
double MeasurePitch(const std::vector<double>& samples, double sampleRate, double minHz = 50.0, double maxHz = 1500.0);

double CentsBetween(double measuredHz, double expectedHz);
