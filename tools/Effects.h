#pragma once

#include "tools/Signal.h"

#include <string>

// The short sounds of the digit keys: ten guitar noises, each under a second
// and each clearly unlike the others.
constexpr int EffectCount = 10;

// File name stem of effect index (0 to EffectCount - 1), e.g. "fx_knock".
std::string EffectName(int index);

class SoundFontRenderer;

// Synthesized, or played on the SoundFont where it has what the effect needs
// (soundFont may be null).
Signal MakeEffect(int index, SoundFontRenderer* soundFont);
