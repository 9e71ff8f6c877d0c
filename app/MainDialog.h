#pragma once
// The main dialog: two sliders (stroke strength and speed) above a status bar.
// A keyboard hook on the dialog's thread forwards every key to the dialog
// procedure, which hands key-downs to the key mapping; the sliders change the
// settings live, and closing the window stores their positions.

#include "platform/Win32.h"

// The dialog procedure given to DialogBoxParamA.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The WH_KEYBOARD hook: every key event becomes a WM_KEYDOWN or WM_KEYUP sent
// to the dialog; the key is passed on, never swallowed.
LRESULT CALLBACK KeyboardHookProc(int code, WPARAM virtualKey, LPARAM keyData);

// Put in front of each slider's own window procedure, which it keeps in the
// slider's GWLP_USERDATA: the slider also asks for typed characters, so that
// they are not taken as mnemonics.
LRESULT CALLBACK SliderSubclassProc(HWND slider, UINT message, WPARAM wParam, LPARAM lParam);

// Formats the status bar's text (at most 63 bytes) into its simple part.
void SetStatusText(const char* format, ...);

// Ranges, tic frequencies and positions of both sliders from Settings.
void InitSliders(HWND dialog);

// The slider positions into Settings, as the dialog closes.
void ReadSliders(HWND dialog);
