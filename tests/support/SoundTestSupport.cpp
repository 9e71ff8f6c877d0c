#include "tests/support/SoundTestSupport.h"

#include "platform/linux/ui/MessageBoxLog.h"
#ifndef _WIN32
#include "platform/linux/ui/Resources.h"
#endif

#include "tests/support/ArchiveTestSupport.h"

#include <cstdint>

namespace SoundTest {

namespace {

std::string Le16(unsigned value)
{
    return {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
}

std::string Le32(std::uint32_t value)
{
    return Le16(value & 0xFFFF) + Le16(value >> 16);
}

std::vector<MessageBoxCall> calls;

void Record(HWND owner, const char* text, const char* caption, UINT type)
{
    calls.push_back({owner, text != nullptr ? text : "", caption == nullptr, type});
}

}  // namespace

std::string WavFrames(int frames, int seed)
{
    std::string pcm;
    for (int i = 0; i < frames; ++i) {
        // A sawtooth of odd period, kept well inside 16 bits and never 0.
        const int left = 1000 + (i * 37 * seed) % 9000;
        const int right = -1000 - (i * 53 + seed) % 9000;
        pcm += Le16(static_cast<std::uint16_t>(left)) + Le16(static_cast<std::uint16_t>(right));
    }
    return pcm;
}

std::string MakeWav(int frames, int seed)
{
    const std::string pcm = WavFrames(frames, seed);
    const auto size = static_cast<std::uint32_t>(pcm.size());
    return "RIFF" + Le32(36 + size) + "WAVE" + "fmt " + Le32(16) + Le16(1) + Le16(2) + Le32(22050) + Le32(22050 * 4) +
           Le16(4) + Le16(16) + "data" + Le32(size) + pcm;
}

std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& members)
{
    ArchiveTest::HandArchive archive;
    for (const auto& [name, data] : members)
        archive.members.push_back({.name = name, .data = data});
    return archive.Build();
}

CurrentFolder::CurrentFolder(const std::string& folder) : saved(std::filesystem::current_path())
{
    std::filesystem::current_path(std::filesystem::u8path(folder));
}

CurrentFolder::~CurrentFolder()
{
    std::error_code ignored;
    std::filesystem::current_path(saved, ignored);
}

MessageBoxes::MessageBoxes()
{
    calls.clear();
    platform::SetMessageBoxObserver(Record);
}

MessageBoxes::~MessageBoxes()
{
    platform::SetMessageBoxObserver(nullptr);
}

const std::vector<MessageBoxCall>& MessageBoxes::Calls() const
{
    return calls;
}

void MessageBoxes::Clear()
{
    calls.clear();
}

std::vector<std::string> MessageBoxes::Texts() const
{
    std::vector<std::string> texts;
    for (const MessageBoxCall& call : calls)
        texts.push_back(call.text);
    return texts;
}

void SpeakLanguage(LANGID language)
{
#ifndef _WIN32
    // On Windows the resources are linked into the test program itself.
    platform::SetProcessModule(platform::ModuleHandle(platform::ExecutableResources()));
#endif
    SetThreadUILanguage(language);
}

}  // namespace SoundTest
