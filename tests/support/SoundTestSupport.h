#pragma once
// Helpers of the sound tests: sample files, the current folder, and a record
// of the message boxes the program shows.

#include "platform/Win32.h"

#include <filesystem>
#include <string>
#include <vector>

namespace SoundTest {

// A WAV file in the device's own format (22050 Hz, 16-bit, stereo), so that
// the mixer plays its frames unchanged. Every frame differs from its
// neighbours and none is silent; seed makes files differ.
std::string MakeWav(int frames, int seed = 1);
// The PCM bytes of MakeWav's file (the file without its 44-byte header).
std::string WavFrames(int frames, int seed = 1);

// A stored zip archive holding the given members (name, bytes).
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& members);

// Makes folder the current folder (relative paths resolve there) and puts
// the old one back.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::string& folder);
    ~CurrentFolder();
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::filesystem::path saved;
};

struct MessageBoxCall {
    HWND owner;
    std::string text;  // cp932
    bool nullCaption;
    UINT type;
};

// From now on the program's texts are the executable's, in this language,
// as WinMain's ChooseLanguage would have them.
void SpeakLanguage(LANGID language);

// Catches every message box while it lives; nothing reaches the user. One
// at a time.
class MessageBoxes {
public:
    MessageBoxes();
    ~MessageBoxes();
    MessageBoxes(const MessageBoxes&) = delete;
    MessageBoxes& operator=(const MessageBoxes&) = delete;

    const std::vector<MessageBoxCall>& Calls() const;
    void Clear();
    std::vector<std::string> Texts() const;
};

}  // namespace SoundTest
