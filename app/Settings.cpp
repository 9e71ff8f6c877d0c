#include "app/Settings.h"

#include "app/Profile.h"
#include "files/Paths.h"

#include <climits>

SettingsValues Settings;

namespace {

constexpr const char* kSection = "Setting";

// The settings file beside the executable; empty when its path is unknown,
// rather than a stray ".ini" in whatever folder is current.
Mivo::String SettingsPath()
{
    Mivo::String module;
    Mivo::GetModulePath(nullptr, module);
    if (module.IsEmpty())
        return module;
    return SettingsPathFor(module.Text());
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
    const SettingsValues defaults;
    Mivo::Profile profile;
    profile.SetFileName(path);
    // Velocity keeps the low 8 bits of the number: 300 reads as 44.
    Settings.Velocity = static_cast<BYTE>(profile.GetInt(kSection, "Velocity", defaults.Velocity));
    Settings.Interval = profile.GetInt(kSection, "Interval", defaults.Interval);
    Settings.ManualAIntervalRate = profile.GetInt(kSection, "ManualAIntervalRate", defaults.ManualAIntervalRate);
    Settings.ManualBIntervalRate = profile.GetInt(kSection, "ManualBIntervalRate", defaults.ManualBIntervalRate);
    Settings.TimeoutInterval = profile.GetInt(kSection, "TimeoutInterval", defaults.TimeoutInterval);
    Settings.MaxInterval = profile.GetInt(kSection, "MaxInterval", defaults.MaxInterval);
    Settings.MaxManualAIntervalRate = profile.GetInt(kSection, "MaxManualAIntervalRate", defaults.MaxManualAIntervalRate);
    Settings.MaxManualBIntervalRate = profile.GetInt(kSection, "MaxManualBIntervalRate", defaults.MaxManualBIntervalRate);
    Settings.StrokeIntervalMode = profile.GetInt(kSection, "StrokeIntervalMode", defaults.StrokeIntervalMode);
    constexpr int absent = INT_MIN;
    const int frames = profile.GetInt(kSection, "AudioBufferFrames", absent);
    Settings.AudioBufferFramesInFile = frames != absent;
    Settings.AudioBufferFrames = frames != absent ? AudioBufferFramesFrom(frames) : defaults.AudioBufferFrames;
}

void SaveSettingsTo(const char* path)
{
    Mivo::Profile profile;
    profile.SetFileName(path);
    // A value that cannot be written is lost without a message.
    profile.WriteInt(kSection, "Velocity", Settings.Velocity);
    profile.WriteInt(kSection, "Interval", Settings.Interval);
    profile.WriteInt(kSection, "ManualAIntervalRate", Settings.ManualAIntervalRate);
    profile.WriteInt(kSection, "ManualBIntervalRate", Settings.ManualBIntervalRate);
    profile.WriteInt(kSection, "TimeoutInterval", Settings.TimeoutInterval);
    profile.WriteInt(kSection, "MaxInterval", Settings.MaxInterval);
    profile.WriteInt(kSection, "MaxManualAIntervalRate", Settings.MaxManualAIntervalRate);
    profile.WriteInt(kSection, "MaxManualBIntervalRate", Settings.MaxManualBIntervalRate);
    profile.WriteInt(kSection, "StrokeIntervalMode", Settings.StrokeIntervalMode);
    if (Settings.AudioBufferFramesInFile)
        profile.WriteInt(kSection, "AudioBufferFrames", Settings.AudioBufferFrames);
}

void LoadSettings()
{
    Mivo::String path = SettingsPath();
    if (!path.IsEmpty())
        LoadSettingsFrom(path.Text());
}

void SaveSettings()
{
    Mivo::String path = SettingsPath();
    if (!path.IsEmpty())
        SaveSettingsTo(path.Text());
}
