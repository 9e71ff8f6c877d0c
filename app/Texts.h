#pragma once
// The words the program shows: the strings of its resources, in the language
// it speaks (the dialog comes in the same language, DialogBoxParamA finds it
// by SetThreadUILanguage).

#include "platform/Win32.h"

// The language for a Language setting and the user's: a Japanese language id
// gives Japanese, any other English; 0 follows the user's.
LANGID LanguageOf(int setting, LANGID user);

// Chooses the language from the settings file and the system, and reads
// every text in it. First thing in WinMain, before any window or message.
void ChooseLanguage(HINSTANCE instance);

// Reads every text of the module in the language set (SetThreadUILanguage).
void LoadTexts(HINSTANCE instance);

// Text id (cp932) in that language; empty before ChooseLanguage and for an
// id the table lacks. Reading it takes no lock and allocates nothing.
const char* Text(UINT id);
