#include "app/Settings.h"

#include "app/Profile.h"
#include "app/Texts.h"
#include "files/Paths.h"
#include "platform/Check.h"
#include "resources/Resources.h"

#include <climits>
#include <cstring>

SettingsValues Settings;

namespace {

constexpr const char* Section = "Setting";
// The user's own folder for settings, named as each system names such folders:
// %APPDATA%\Strumkey on Windows, ~/.config/strumkey on Linux.
#ifdef _WIN32
constexpr const char* UserFolder = "Strumkey";
#else
constexpr const char* UserFolder = "strumkey";
#endif

Mivo::String ModulePath()
{
    Mivo::String module;
    Mivo::GetModulePath(nullptr, module);
    return module;
}

bool Exists(const Mivo::String& path)
{
    return GetFileAttributesA(path.Text()) != INVALID_FILE_ATTRIBUTES;
}

void Report(const char* text)
{
    DWORD written;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

}  // namespace

Mivo::String SettingsPathFor(const char* modulePath)
{
    Mivo::String path(modulePath);
    Mivo::RemoveExtension(path);
    path.Append(".ini");
    return path;
}

int AudioBufferFramesFrom(int value)
{
    int frames = 128;
    while (frames < 4096 && frames * 2 <= value)
        frames *= 2;
    return frames;
}

void LoadSettingsFrom(const char* path)
{
    STRUMKEY_CHECK(platform::OnMainThread());
    const SettingsValues defaults;
    Mivo::Profile profile;
    profile.SetFileName(path);
    // Velocity keeps the low 8 bits of the number: 300 reads as 44.
    Settings.Velocity = static_cast<BYTE>(profile.GetInt(Section, "Velocity", defaults.Velocity));
    Settings.Interval = profile.GetInt(Section, "Interval", defaults.Interval);
    Settings.ManualAIntervalRate = profile.GetInt(Section, "ManualAIntervalRate", defaults.ManualAIntervalRate);
    Settings.ManualBIntervalRate = profile.GetInt(Section, "ManualBIntervalRate", defaults.ManualBIntervalRate);
    Settings.TimeoutInterval = profile.GetInt(Section, "TimeoutInterval", defaults.TimeoutInterval);
    Settings.MaxInterval = profile.GetInt(Section, "MaxInterval", defaults.MaxInterval);
    Settings.MaxManualAIntervalRate =
        profile.GetInt(Section, "MaxManualAIntervalRate", defaults.MaxManualAIntervalRate);
    Settings.MaxManualBIntervalRate =
        profile.GetInt(Section, "MaxManualBIntervalRate", defaults.MaxManualBIntervalRate);
    Settings.StrokeIntervalMode = profile.GetInt(Section, "StrokeIntervalMode", defaults.StrokeIntervalMode);
    constexpr int absent = INT_MIN;
    const int frames = profile.GetInt(Section, "AudioBufferFrames", absent);
    Settings.AudioBufferFramesInFile = frames != absent;
    Settings.AudioBufferFrames = frames != absent ? AudioBufferFramesFrom(frames) : defaults.AudioBufferFrames;
    const int language = profile.GetInt(Section, "Language", absent);
    Settings.LanguageInFile = language != absent;
    Settings.Language = language != absent ? language : defaults.Language;
    const int midiNotes = profile.GetInt(Section, "MidiNotes", absent);
    Settings.MidiNotesInFile = midiNotes != absent;
    Settings.MidiNotes = midiNotes != absent ? midiNotes : defaults.MidiNotes;
}

bool SaveSettingsTo(const char* path)
{
    STRUMKEY_CHECK(platform::OnMainThread());
    Mivo::Profile profile;
    profile.SetFileName(path);
    // Every value is tried, each on its own; the first error is kept.
    bool saved = true;
    DWORD error = ERROR_SUCCESS;
    auto write = [&](const char* key, int value) {
        if (!profile.WriteInt(Section, key, value) && saved) {
            saved = false;
            error = GetLastError();
        }
    };
    write("Velocity", Settings.Velocity);
    write("Interval", Settings.Interval);
    write("ManualAIntervalRate", Settings.ManualAIntervalRate);
    write("ManualBIntervalRate", Settings.ManualBIntervalRate);
    write("TimeoutInterval", Settings.TimeoutInterval);
    write("MaxInterval", Settings.MaxInterval);
    write("MaxManualAIntervalRate", Settings.MaxManualAIntervalRate);
    write("MaxManualBIntervalRate", Settings.MaxManualBIntervalRate);
    write("StrokeIntervalMode", Settings.StrokeIntervalMode);
    if (Settings.AudioBufferFramesInFile)
        write("AudioBufferFrames", Settings.AudioBufferFrames);
    if (Settings.LanguageInFile)
        write("Language", Settings.Language);
    if (Settings.MidiNotesInFile)
        write("MidiNotes", Settings.MidiNotes);
    SetLastError(error);
    return saved;
}

Mivo::String SettingsLocationOf(const char* modulePath)
{
    Mivo::String beside = SettingsPathFor(modulePath);
    Mivo::String folder(modulePath);
    Mivo::RemoveLastComponents(folder, 1);
    if (beside.IsEmpty() || Mivo::CanWriteFolder(folder.Text()))
        return beside;
    char appData[MAX_PATH];
    if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData) != S_OK)
        return beside;  // the only place left to try
    Mivo::String name(beside.Text() + beside.FindLastChar('\\') + 1);
    Mivo::String path(appData);
    Mivo::AppendPath(path, UserFolder);
    Mivo::AppendPath(path, name.Text());
    return path;
}

// The file the settings are read from; empty when there is none to read.
Mivo::String SettingsToRead(const char* modulePath)
{
    Mivo::String path = SettingsLocationOf(modulePath);
    if (path.IsEmpty())
        return path;
    // Until the user's own file exists, a file left beside the executable
    // (by whoever installed it) gives the starting values.
    Mivo::String beside = SettingsPathFor(modulePath);
    return !Exists(path) && Exists(beside) ? beside : path;
}

void LoadSettingsFor(const char* modulePath)
{
    Mivo::String path = SettingsToRead(modulePath);
    if (!path.IsEmpty())
        LoadSettingsFrom(path.Text());
}

bool SaveSettingsFor(const char* modulePath)
{
    Mivo::String path = SettingsLocationOf(modulePath);
    if (path.IsEmpty())
        return true;  // nowhere to keep them: nothing is lost that was kept
    if (Mivo::ComparePath(path.Text(), SettingsPathFor(modulePath).Text()) != 0) {
        Mivo::String folder(path);
        Mivo::RemoveLastComponents(folder, 1);
        SHCreateDirectoryExA(nullptr, folder.Text(), nullptr);
    }
    if (SaveSettingsTo(path.Text()))
        return true;
    Mivo::String line(Text(IDS_NOT_SAVED));
    line.Append(path.Text());
    line.Append("\n");
    Report(line.Text());
    return false;
}

int LanguageSetting()
{
    Mivo::String module = ModulePath();
    Mivo::String path = module.IsEmpty() ? module : SettingsToRead(module.Text());
    if (path.IsEmpty())
        return 0;
    Mivo::Profile profile;
    profile.SetFileName(path.Text());
    return profile.GetInt(Section, "Language", 0);
}

void LoadSettings()
{
    Mivo::String module = ModulePath();
    if (!module.IsEmpty())
        LoadSettingsFor(module.Text());
}

void SaveSettings()
{
    Mivo::String module = ModulePath();
    if (!module.IsEmpty())
        SaveSettingsFor(module.Text());
}
