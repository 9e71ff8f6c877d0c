#include "app/Lifecycle.h"

#include "app/Settings.h"
#include "files/ArchiveList.h"
#include "files/Paths.h"
#include "sound/AudioDevice.h"
#include "sound/SoundTable.h"
#include "stroke/MidiNotes.h"
#include "stroke/StrokeScheduler.h"

#include <SDL_mixer.h>

HMIDIOUT TheMidiOut = nullptr;

namespace {

constexpr UINT TimerPeriod = 1;
// Program change on channel 0 to program 25: the steel-string acoustic guitar.
constexpr DWORD GuitarProgramChange = 0x19C0;

}  // namespace

void StartUp()
{
    ResetNoteSlots();
    Mivo::SetCurrentDirFromModule("");  // data files are found from here
    LoadSettings();
    Mivo::AudioDevice::UseBufferFrames(Settings.AudioBufferFrames);
    timeBeginPeriod(TimerPeriod);
    midiOutOpen(&TheMidiOut, MIDI_MAPPER, 0, 0, CALLBACK_NULL);
    midiOutShortMsg(TheMidiOut, GuitarProgramChange);
    if (Settings.MidiNotes != 0)
        SendMidiNotesTo(TheMidiOut);
    TheSoundTable = new SoundTable;
    TheSoundTable->ReadTable("se.csv");
    TheSoundTable->LoadAll();  // opens the audio device with the first sample
    // Every sample is in memory now. Letting the bank go lets everyone else
    // who runs the same copy (other users of an installed one) load it too.
    Mivo::ArchiveList().clear();
    if (Mivo::AudioDevice::IsOpen())
        Mix_Volume(-1, Settings.Velocity);
}

void ShutDown()
{
    // No trigger may run once the table is gone: cancel first, free last.
    CancelPendingNotes();
    StopAllSounds();  // and the notes that sound
    SendMidiNotesTo(nullptr);
    midiOutReset(TheMidiOut);
    midiOutClose(TheMidiOut);
    TheMidiOut = nullptr;
    timeEndPeriod(TimerPeriod);
    SaveSettings();
    delete TheSoundTable;
    TheSoundTable = nullptr;
}
