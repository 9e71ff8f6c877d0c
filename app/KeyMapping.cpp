#include "app/KeyMapping.h"

#include "app/Settings.h"
#include "stroke/StrokeScheduler.h"

namespace {

// Bit 30 of the key data: the key was already down (an auto-repeat).
constexpr LPARAM PreviousKeyState = LPARAM{1} << 30;

constexpr int SharpKeys[] = {VK_OEM_PLUS, VK_ADD, VK_OEM_7};
constexpr int FlatKeys[] = {VK_OEM_MINUS, VK_SUBTRACT, VK_OEM_1};

// Down right now; the toggle bit plays no part.
bool IsHeld(int virtualKey)
{
    return (GetKeyState(virtualKey) & 0x80) != 0;
}

template <std::size_t N>
bool AnyHeld(const int (&keys)[N])
{
    for (int key : keys)
        if (IsHeld(key))
            return true;
    return false;
}

bool IsDigitKey(WPARAM key)
{
    return (key >= '0' && key <= '9') || (key >= VK_NUMPAD0 && key <= VK_NUMPAD9);
}

void PlayChord(WPARAM key)
{
    int root = RootNoteForKey(key);
    if (root == 0)
        return;
    const bool sharp = AnyHeld(SharpKeys);
    const bool flat = AnyHeld(FlatKeys);
    if (flat)
        --root;
    if (sharp)
        ++root;
    const ChordKind kind = ChordKindForModifiers();
    if (Settings.StrokeIntervalMode != 0)
        return;
    StartStroke(root, kind, Settings.Velocity, Settings.Interval);
}

}  // namespace

void HandleKeyDown(WPARAM virtualKey, LPARAM keyData)
{
    if (keyData & PreviousKeyState)
        return;
    if (virtualKey == VK_SPACE) {
        CancelPendingNotes();
        StopAllSounds();
    } else if (IsDigitKey(virtualKey)) {
        PlaySound(SoundIdForKey(virtualKey));
    } else if (virtualKey >= 'A' && virtualKey <= 'G') {
        PlayChord(virtualKey);
    }
}

int RootNoteForKey(WPARAM virtualKey)
{
    switch (virtualKey) {
    case 'A':
        return 69;
    case 'B':
        return 71;
    case 'C':
        return 60;
    case 'D':
        return 62;
    case 'E':
        return 64;
    case 'F':
        return 65;
    case 'G':
        return 67;
    default:
        return 0;
    }
}

int SoundIdForKey(WPARAM virtualKey)
{
    int digit = -1;
    if (virtualKey >= '0' && virtualKey <= '9')
        digit = static_cast<int>(virtualKey - '0');
    else if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD9)
        digit = static_cast<int>(virtualKey - VK_NUMPAD0);
    if (digit < 0)
        return 31;
    return digit == 0 ? 40 : 30 + digit;  // 0 is the key after 9
}

ChordKind ChordKindForModifiers()
{
    if (IsHeld(VK_TAB))
        return DiminishedSeventh;
    const bool shift = IsHeld(VK_SHIFT);
    const bool ctrl = IsHeld(VK_CONTROL);
    const bool alt = IsHeld(VK_MENU);
    if (ctrl) {
        if (shift)
            return alt ? MinorMajorSeventh : MinorSeventh;
        return alt ? MajorSeventh : Seventh;
    }
    // Alt counts only together with Ctrl.
    return shift ? Minor : Major;
}
