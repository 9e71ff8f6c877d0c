#pragma once
// The built program in a folder of its own: a copy of the executable with
// se.csv and se.dat beside it, started on the test's X server with SDL's disk
// driver, so that what it plays lands in a file that the test can read. The
// program is the Linux build's, or the Windows build's run by Wine.

#include "tests/e2e/X11Process.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// How the program under test runs.
struct ProgramRunner {
    std::string executable;             // the built program
    std::vector<std::string> launcher;  // the command that runs it: none, or Wine
    std::vector<std::string> env;       // added to its environment

    bool Windows() const { return !launcher.empty(); }

    // The Windows build in the folder that STRUMKEY_WINDOWS_BUILD names
    // (scripts/build-windows.sh), run by Wine in its prefix there, in a locale
    // ("en_US.UTF-8": Windows' code page 1252, "ja_JP.UTF-8": 932); no
    // executable when the variable is not set.
    static ProgramRunner Wine(const std::string& locale);
};

class X11Program {
public:
    // Copies executable, se.csv and se.dat (from the executable's folder), and
    // for Windows the DLLs there, into a fresh temp folder, or into a folder of
    // that name (UTF-8) inside it; the executable keeps its file name unless
    // given another (its extension is kept).
    explicit X11Program(const ProgramRunner& runner, const std::string& name = {}, const std::string& folderName = {});
    explicit X11Program(const std::string& executable, const std::string& name = {}, const std::string& folderName = {})
        : X11Program(ProgramRunner{executable, {}, {}}, name, folderName)
    {}
    // The program where it is (an installed copy), left as it is; its audio
    // goes to a temp folder.
    struct InPlace {};
    X11Program(const ProgramRunner& runner, InPlace);
    ~X11Program();
    X11Program(const X11Program&) = delete;
    X11Program& operator=(const X11Program&) = delete;

    bool Ready() const { return !folder.empty(); }
    // Replaces the sound bank with the test bank, whose samples name
    // themselves in the output (see TestBank.h).
    void UseTestBank() const;
    const std::string& Folder() const { return folder; }
    std::string PathOf(const std::string& name) const { return folder + "/" + name; }
    // Where the program's audio of that name goes: a folder of ASCII names,
    // which SDL's driver can open under any code page.
    std::string AudioPath(const std::string& name) const { return top + "/" + name; }
    // The executable's file.
    std::string Executable() const { return PathOf(name); }
    // The command that runs it with these arguments.
    std::vector<std::string> Command(const std::vector<std::string>& arguments = {}) const;
    const ProgramRunner& Runner() const { return runner; }

    // Starts the copy with the display server's environment (an X server's
    // or a Wayland compositor's); its audio goes to <audio> and its output to
    // <name>.log.
    std::unique_ptr<X11Process> Start(const std::vector<std::string>& environment, const std::string& audio) const;

    const std::string& Name() const { return name; }
    std::string Read(const std::string& name) const;
    void Write(const std::string& name, const std::string& bytes) const;
    bool Exists(const std::string& name) const;

private:
    ProgramRunner runner;
    std::string top;  // the temp folder, removed at the end
    std::string folder;
    std::string name;
};

// Signed 16-bit samples from a raw audio file, from a byte offset on.
std::vector<short> ReadSamples(const std::string& path, std::size_t fromByte = 0);
// The largest magnitude among the samples (0 for silence).
int Peak(const std::vector<short>& samples);
