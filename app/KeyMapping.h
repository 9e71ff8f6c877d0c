#pragma once
// The key mapping: what one key-down means. Letters A to G strum a chord (the
// held modifiers choose its kind, the sharp and flat keys move its root by a
// semitone), the digits of the main keyboard and the keypad play an effect,
// space stops every sound, every other key does nothing. Runs on the
// dialog's thread; keeps no state of its own.

#include "platform/Win32.h"
#include "stroke/ChordShapes.h"

// Acts on a WM_KEYDOWN or WM_SYSKEYDOWN; auto-repeats (bit 30 of keyData)
// do nothing.
void HandleKeyDown(WPARAM virtualKey, LPARAM keyData);

// The root note of a letter key: A 69, B 71, C 60, D 62, E 64, F 65, G 67;
// 0 for every other key.
int RootNoteForKey(WPARAM virtualKey);

// The sound identifier of a digit key (main keyboard or keypad): 1 to 9 give
// 31 to 39, 0 gives 40; any other key gives 31.
int SoundIdForKey(WPARAM virtualKey);

// The chord kind that the held Tab, Shift, Ctrl and Alt keys choose.
ChordKind ChordKindForModifiers();
