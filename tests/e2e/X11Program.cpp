#include "tests/e2e/X11Program.h"

#include "tests/e2e/TestBank.h"
#include "tests/support/System.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

ProgramRunner ProgramRunner::Wine(const std::string& locale)
{
    const char* build = std::getenv("STRUMKEY_WINDOWS_BUILD");
    if (build == nullptr || *build == '\0')
        return {};
    const std::string folder = build;
    // The prefix and the locales are made by scripts/wine-prefix.sh.
    return {folder + "/strumkey.exe",
            {"wine"},
            {"WINEPREFIX=" + folder + "/wine-prefix", "WINEDEBUG=-all", "LOCPATH=" + folder + "/locales",
             "LANG=" + locale, "LC_ALL=" + locale}};
}

X11Program::X11Program(const ProgramRunner& runner, const std::string& programName, const std::string& folderName)
    : runner(runner), top(test_system::MakeTempFolder("strumkey-x11-"))
{
    if (top.empty())
        return;
    std::string into = top;
    const fs::path source(runner.executable);
    name = programName.empty() ? source.filename().string() : programName + source.extension().string();
    std::error_code error;
    if (!folderName.empty()) {
        into += "/" + folderName;
        fs::create_directories(into, error);
    }
    fs::copy_file(source, fs::path(into) / name, error);
    std::vector<fs::path> files = {"se.csv", "se.dat"};
    if (runner.Windows())
        for (const auto& entry : fs::directory_iterator(source.parent_path(), error))
            if (entry.path().extension() == ".dll")
                files.push_back(entry.path().filename());
    for (const fs::path& file : files)
        if (!error)
            fs::copy_file(source.parent_path() / file, fs::path(into) / file, error);
    folder = into;
    if (error) {
        fs::remove_all(top, error);
        folder.clear();
    }
}

X11Program::X11Program(const ProgramRunner& runner, InPlace)
    : runner(runner), top(test_system::MakeTempFolder("strumkey-x11-"))
{
    if (top.empty())
        return;
    folder = fs::path(runner.executable).parent_path().string();
    name = fs::path(runner.executable).filename().string();
}

void X11Program::UseTestBank() const
{
    std::error_code ignored;
    fs::remove(PathOf("se.dat"), ignored);
    TestBank::Write(folder);
}

X11Program::~X11Program()
{
    // Kept for a look at what went wrong when asked to.
    if (top.empty() || std::getenv("STRUMKEY_KEEP_E2E") != nullptr)
        return;
    std::error_code ignored;
    fs::remove_all(top, ignored);
}

std::unique_ptr<X11Process> X11Program::Start(const std::vector<std::string>& environment,
                                              const std::string& audio) const
{
    const std::string& program = name;
    X11Process::Options options;
    options.args = Command();
    // Windows sees the Unix tree as drive Z:.
    std::string audioFile = AudioPath(audio);
    if (runner.Windows()) {
        std::replace(audioFile.begin(), audioFile.end(), '/', '\\');
        audioFile.insert(0, "Z:");
    }
    // On X unless the environment names another platform; the display
    // server comes from the environment alone. The disk driver at about a
    // sound card's pace for the program's default buffer.
    options.env = TestBank::DiskAudio(audioFile, TestBank::DefaultBufferFrames);
    options.env.push_back("QT_QPA_PLATFORM=xcb");
    options.env.insert(options.env.end(), runner.env.begin(), runner.env.end());
    // A NAME=value entry replaces the variable, a bare NAME takes it out
    // (SDL_AUDIODRIVER: SDL picks the driver as for a user).
    options.unset = {"DISPLAY", "WAYLAND_DISPLAY", "SESSION_MANAGER"};
    for (const std::string& entry : environment) {
        const std::size_t equals = entry.find('=');
        const std::string name = entry.substr(0, equals) + "=";
        std::erase_if(options.env, [&](const std::string& given) { return given.rfind(name, 0) == 0; });
        if (equals == std::string::npos)
            options.unset.push_back(entry);
        else
            options.env.push_back(entry);
    }
    options.output = PathOf(program + ".log");
    // Started from elsewhere on purpose: the program finds its files beside itself.
    options.workingDirectory = "/";
    return std::make_unique<X11Process>(options);
}

std::vector<std::string> X11Program::Command(const std::vector<std::string>& arguments) const
{
    std::vector<std::string> command = runner.launcher;
    command.push_back(Executable());
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
}

std::string X11Program::Read(const std::string& name) const
{
    std::ifstream in(PathOf(name), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void X11Program::Write(const std::string& name, const std::string& bytes) const
{
    std::ofstream(PathOf(name), std::ios::binary) << bytes;
}

bool X11Program::Exists(const std::string& name) const
{
    return fs::exists(PathOf(name));
}

std::vector<short> ReadSamples(const std::string& path, std::size_t fromByte)
{
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(fromByte));
    std::vector<short> samples;
    char pair[2];
    while (in.read(pair, 2))
        samples.push_back(
            static_cast<short>(static_cast<unsigned char>(pair[0]) | (static_cast<unsigned char>(pair[1]) << 8)));
    return samples;
}

int Peak(const std::vector<short>& samples)
{
    int peak = 0;
    for (short sample : samples)
        peak = std::max(peak, std::abs(static_cast<int>(sample)));
    return peak;
}
