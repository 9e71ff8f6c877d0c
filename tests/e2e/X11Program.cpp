#include "tests/e2e/X11Program.h"

#include "tests/e2e/TestBank.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

X11Program::X11Program(const std::string& executable, const std::string& programName, const std::string& folderName)
{
    std::string pattern = (fs::temp_directory_path() / "strumkey-x11-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        return;
    top = pattern;
    const fs::path source(executable);
    name = programName.empty() ? source.filename().string() : programName;
    std::error_code error;
    if (!folderName.empty()) {
        pattern += "/" + folderName;
        fs::create_directories(pattern, error);
    }
    fs::copy_file(source, fs::path(pattern) / name, error);
    for (const char* data : {"se.csv", "se.dat"})
        if (!error)
            fs::copy_file(source.parent_path() / data, fs::path(pattern) / data, error);
    folder = pattern;
    if (error) {
        fs::remove_all(top, error);
        folder.clear();
    }
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
    options.args = {PathOf(program)};
    // On X unless the environment names another platform; the display
    // server comes from the environment alone.
    options.env = {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + PathOf(audio), "SDL_DISKAUDIODELAY=46",
                   "QT_QPA_PLATFORM=xcb"};
    for (const std::string& entry : environment) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(options.env, [&](const std::string& given) { return given.rfind(name, 0) == 0; });
        options.env.push_back(entry);
    }
    options.unset = {"DISPLAY", "WAYLAND_DISPLAY", "SESSION_MANAGER"};
    options.output = PathOf(program + ".log");
    // Started from elsewhere on purpose: the program finds its files beside itself.
    options.workingDirectory = "/";
    return std::make_unique<X11Process>(options);
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
