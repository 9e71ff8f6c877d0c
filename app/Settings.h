#pragma once
// The nine settings kept in the section "Setting" of the .ini file beside the
// executable (its path with the extension replaced by ".ini"), or in the
// user's settings folder where the executable's folder cannot be written.
// Read once at start-up, written back once at exit; only the main thread
// touches them.
//
// Code reads and changes them as Settings.Velocity, Settings.Interval, ...

#include "files/String.h"
#include "platform/Win32.h"

struct SettingsValues {
    BYTE Velocity = 128;  // stroke strength 0 to 128; the low 8 bits of the file's number
    int Interval = 25;    // milliseconds between two strings of a stroke
    // Nothing reads these two. They keep the values read (or their defaults)
    // and are written back unchanged, so that no stored value is lost; the
    // dialog has no sliders for them and leaves them alone.
    int ManualAIntervalRate = 1024;
    int ManualBIntervalRate = 512;
    int TimeoutInterval = 750;          // carried through the file
    int MaxInterval = 750;              // maximum of the speed slider
    int MaxManualAIntervalRate = 2048;  // carried through the file
    int MaxManualBIntervalRate = 2048;  // carried through the file
    int StrokeIntervalMode = 0;         // while not 0, letter keys play no chord
    // The mixer's buffer in frames: a power of two from 128 to 4096. The
    // smaller, the sooner a key is heard, and the more often the mixer must
    // run in time. Written back only when the file had it. 256: about 20 ms
    // from key to sound through PulseAudio, 29 through PipeWire, and a few
    // ms over Wine's own floor through SDL's WASAPI driver.
    int AudioBufferFrames = 256;
    bool AudioBufferFramesInFile = false;
    // The language the program speaks: 0 follows the system; a Windows
    // language id forces one (1041 Japanese; 1033, or any other, English).
    // Written back only when the file had it.
    int Language = 0;
    bool LanguageInFile = false;
    // Not 0: every string that sounds also goes out as a MIDI note on the
    // MIDI output. Written back only when the file had it.
    int MidiNotes = 0;
    bool MidiNotesInFile = false;
};

extern SettingsValues Settings;

// Read all nine values (and AudioBufferFrames, Language and MidiNotes) from the settings file
// (defaults for missing keys), or write them all back. Nothing happens when
// the executable's path is unknown. A file that cannot be written is reported
// in one line on standard error.
void LoadSettings();
void SaveSettings();

// The same for the executable at modulePath (tests use them). SaveSettingsFor
// is false when a value could not be written.
void LoadSettingsFor(const char* modulePath);
bool SaveSettingsFor(const char* modulePath);

// The same, on a file of the caller's choice.
void LoadSettingsFrom(const char* path);
bool SaveSettingsTo(const char* path);

// The Language value of the settings file, read on its own before the rest
// (the refusal of a second copy speaks it already): 0 when it has none.
int LanguageSetting();

// A buffer size as the mixer takes it: clamped to 128 to 4096, and a power of
// two (the one at or below).
int AudioBufferFramesFrom(int value);

// The settings file beside the executable at modulePath: the path without its
// extension (a dot in a folder name is no extension), with ".ini" appended.
Mivo::String SettingsPathFor(const char* modulePath);

// Where the executable at modulePath keeps its settings: beside itself while
// its folder can be written, so that a portable copy keeps them with it;
// otherwise, as for a copy installed where its users cannot write, in the
// user's settings folder: <AppData>\strumkey\<file name>.ini. Empty when
// neither can be known.
Mivo::String SettingsLocationOf(const char* modulePath);
