#pragma once

#include "tools/Signal.h"

#include <string>

// The short sounds of the digit keys: ten guitar noises, each under a second
// and each clearly unlike the others.
constexpr int EffectCount = 10;

// File name stem of effect index (0 to EffectCount - 1), e.g. "fx_knock".
std::string EffectName(int index);

Signal MakeEffect(int index);
