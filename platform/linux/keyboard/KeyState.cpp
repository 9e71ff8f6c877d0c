// user32: GetKeyState over a table of 256 key state bytes, as Windows keeps
// them: 0x80 while the key is down, 0x01 toggled by each press.

#include "platform/linux/keyboard/KeyState.h"
#include "platform/Win32.h"

#include <atomic>
#include <cstdint>

namespace {

constexpr std::uint8_t Down = 0x80;
constexpr std::uint8_t Toggled = 0x01;

std::atomic<std::uint8_t> keys[256];

bool InRange(int virtKey)
{
    return virtKey >= 0 && virtKey < 256;
}

bool IsDown(int virtKey)
{
    return (keys[virtKey].load(std::memory_order_relaxed) & Down) != 0;
}

void Update(int virtKey, bool down)
{
    std::atomic<std::uint8_t>& key = keys[virtKey];
    std::uint8_t old = key.load(std::memory_order_relaxed);
    std::uint8_t next;
    do {
        if (down)
            next = (old & Down) ? old : static_cast<std::uint8_t>((old ^ Toggled) | Down);
        else
            next = static_cast<std::uint8_t>(old & ~Down);
    } while (!key.compare_exchange_weak(old, next, std::memory_order_relaxed));
}

}  // namespace

namespace platform {

void SetKeyDown(int virtKey, bool down)
{
    if (!InRange(virtKey))
        return;
    Update(virtKey, down);
    if (const int generic = GenericModifier(virtKey))
        Update(generic, down || IsDown(virtKey ^ 1));
}

void ResetKeyState()
{
    for (auto& key : keys)
        key.store(0, std::memory_order_relaxed);
}

}  // namespace platform

SHORT GetKeyState(int virtKey)
{
    if (!InRange(virtKey))
        return 0;
    std::uint8_t state = keys[virtKey].load(std::memory_order_relaxed);
    // The state byte sign-extended, as Windows returns it: a key that is down
    // gives 0xFF80, so both bit 15 and bit 7 are set.
    return static_cast<SHORT>(static_cast<std::int8_t>(state));
}
