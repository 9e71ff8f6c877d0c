#pragma once
// One run of the scripted player as a program of its own: a fresh folder with
// a copy of the player (its settings file, single-instance mutex and data
// files follow the executable's path), the test bank beside it, the dialog
// on the offscreen platform and the audio through SDL's disk driver.

#include "tests/e2e/MixedOutput.h"
#include "tests/e2e/TestBank.h"
#include "tests/support/ProcessRunner.h"

#include <string>
#include <vector>

class PlayerRun {
public:
    PlayerRun();
    // A run of another build of the scripted player.
    explicit PlayerRun(const std::string& player);
    ~PlayerRun();
    PlayerRun(const PlayerRun&) = delete;
    PlayerRun& operator=(const PlayerRun&) = delete;

    const std::string& Folder() const { return folder; }
    std::string Executable() const { return folder + "/strumkey"; }
    std::string SettingsFile() const { return folder + "/strumkey.ini"; }
    std::string OutputFile() const { return folder + "/mixed.raw"; }

    // The settings file's text before the run; nothing: no file.
    void WriteSettings(const std::string& text) const;
    // Its text now, or "(none)" when there is none.
    std::string Settings() const;

    // The disk driver writes a buffer of this many frames (the settings'
    // AudioBufferFrames) at a time, at about real-time pace; 256 (the default)
    // unless told.
    void PaceDiskFor(int frames) { bufferFrames = frames; }
    // NAME=value in the player's environment, over what the run sets itself.
    void SetEnvironment(const std::string& assignment) { environment.push_back(assignment); }
    // The player runs as the last argument of this command line.
    void RunUnder(const std::vector<std::string>& command) { runUnder = command; }

    // Starts the player on a script (one command per line) and waits for it.
    ProcessResult Play(const std::vector<std::string>& script);
    // Starts it without waiting, with the output going to outputFile.
    ChildProcess* Start(const std::vector<std::string>& script, const std::string& outputFile);

    // The lines of the last run's standard output that start with prefix,
    // without the prefix.
    std::vector<std::string> Lines(const std::string& prefix) const;
    // The frame count of "mark name"; -1 when not printed.
    long Mark(const std::string& name) const;

    MixedOutput Output() const { return MixedOutput(OutputFile()); }

private:
    std::vector<std::string> Environment(const std::string& outputFile) const;
    std::string WriteScript(const std::vector<std::string>& script);
    std::vector<std::string> CommandLine(const std::string& script) const;

    std::string folder;
    std::string out;
    int scripts = 0;
    int bufferFrames = TestBank::DefaultBufferFrames;
    std::vector<std::string> environment;
    std::vector<std::string> runUnder;
    std::vector<ChildProcess*> started;
};

// A minimal settings file: section "Setting" with these key=value lines.
std::string SettingsText(const std::vector<std::string>& lines);

// The value of key in a settings file's text; "" when missing.
std::string SettingOf(const std::string& text, const std::string& key);
