#pragma once
// What the program needs of a Wayland compositor's keyboard, beside what the
// toolkit makes of it: the layout of the keymap's active group, whenever the
// keymap or the group changes, and the keys that are down when one of the
// program's windows gets the keyboard. Main thread only. Internal to platform/.

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace platform {

// On Wayland: listens to the seat's keyboard on the toolkit's own connection,
// keeps the keyboard layout up to date, and calls focusIn whenever one of the
// program's windows gets the keyboard focus. Call once, after the toolkit has
// started. Does nothing elsewhere.
void WatchWaylandKeyboard(std::function<void()> focusIn);
// Lets go of the seat's keyboard; call before the toolkit ends.
void EndWaylandKeyboard();

// On Wayland: the keys down now, as far as the compositor has told the
// program (it tells the keys held as a window gets the focus, and every key
// while one has it), as X keycode and the keysym of its first level. Nothing
// when the toolkit does not run on Wayland or the seat's keyboard is new.
std::optional<std::vector<std::pair<std::uint32_t, std::uint32_t>>> WaylandKeysDown();

}  // namespace platform
