#pragma once
// A look at a sample's header before the mixer decodes it. The audio
// libraries trust what a header says: a sound of 0 or 256 channels, a rate
// whose conversion to the device's takes more steps than they have room for,
// or a chunk longer than its file, crash them or make them read or allocate
// far past the file. Such samples are refused here; everything else, sound
// or not, is left to the mixer. The libraries built for the program also
// refuse damaged files themselves, but the program may be built against the
// system's (unpatched) ones, so these checks stay.

#include <SDL_rwops.h>

namespace Mivo {

// False when the header of the sample at the stream's position is damaged in
// one of the ways the libraries do not survive, given the open mixer's format
// (true when the mixer is closed). The stream is back at its position after.
bool SampleHeaderIsSafe(SDL_RWops* stream);

}  // namespace Mivo
