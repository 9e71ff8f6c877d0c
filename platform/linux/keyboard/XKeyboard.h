#pragma once
// What the program needs of the X server's keyboard, on the toolkit's own
// connection: held keys that repeat as presses only, the layout now and
// whenever it changes, and the keys that are down at a given moment.
// Main thread only. Internal to platform/.

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace platform {

// On X: asks for detectable auto-repeat, reads the layout and follows its
// changes, and calls focusIn whenever one of the program's windows gets the
// keyboard focus from the server (a switch back from another program,
// however brief, which the toolkit may not report). Call once, after the
// toolkit has started. Does nothing elsewhere.
void WatchXKeyboard(std::function<void()> focusIn);

// On X: every key that is down now, as its keycode and the keysym of its
// first level. Nothing when the toolkit does not run on X.
std::optional<std::vector<std::pair<std::uint32_t, std::uint32_t>>> XKeysDown();

}  // namespace platform
