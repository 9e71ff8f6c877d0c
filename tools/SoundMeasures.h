#pragma once

#include "tools/Signal.h"

// How a note or an effect sounds, in figures: what the bank maker levels and
// trims by, and what the sound bench prints and the bank's tests check. Every
// function takes a signal at the bank's rate (SampleRate), in any scale.

// The first sample that reaches 40 dB below the signal's peak: where the sound
// is heard to start. -1 for silence.
int OnsetSample(const Signal& signal);

// Integrated loudness as broadcast meters take it (K-weighted, 400 ms blocks,
// absolute and relative gates), in LUFS for a signal in the range -1 to 1.
double LoudnessLufs(const Signal& signal);

// The loudness of a note as a strum lets it be heard: its strike and the
// first second of its ring, from the onset.
double NoteLoudness(const Signal& note);

// RMS level of the 20 ms around a moment, in dB below the loudest 20 ms of
// the signal (0 or less; -200 for nothing there).
double LevelAt(const Signal& signal, double seconds);

// LevelAt every 10 ms from the start: the level as an ear follows it.
std::vector<double> LevelEvery10Ms(const Signal& signal);

// Level of the last 50 ms, in dB below the loudest 20 ms.
double LevelBeforeEnd(const Signal& signal);

// Seconds to decay by 60 dB at the slope of the level between 0.5 and 2
// seconds; infinity when the level does not fall.
double LateT60(const Signal& signal);

// Spectral centroid in Hz of the 93 ms around a moment: brightness.
double BrightnessAt(const Signal& signal, double seconds);

// Share (0 to 1) of the energy above fromHz in the first 30 ms from the onset.
double AttackHighShare(const Signal& signal, double fromHz);

// What is heard at either end when the sample starts and stops, in dB below
// the signal's peak: the first sample (a step from silence), the peak of the
// last 10 ms (a cut instead of a fade) and the mean of the last 100 ms (DC).
struct EdgeLevels {
    double firstSample;
    double lastTenMilliseconds;
    double endDc;
};
EdgeLevels EdgeLevelsOf(const Signal& signal);

// Limits the bank keeps: a start within 0.5 ms, ends well below hearing.
constexpr double LatestOnsetMilliseconds = 0.5;
constexpr double QuietestEdgeDb = -50.0;
