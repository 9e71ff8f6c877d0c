#pragma once
// A private headless Wayland compositor (sway) for one test program, with a
// seat that has a keyboard as a desktop's has, ended with the object. sway
// refuses to run as root; as root it runs as nobody, and the test (root)
// still reaches its sockets.

#include "tests/e2e/X11Process.h"

#include <memory>
#include <string>
#include <vector>

class WaylandCompositor {
public:
    // Starts sway on a 1024x768 headless output; check Running() afterwards.
    // keyboard is the command that keeps a keyboard on the seat (a run of
    // wayland_keys that awaits a file that never comes).
    explicit WaylandCompositor(const std::string& keyboardDriver);
    ~WaylandCompositor();
    WaylandCompositor(const WaylandCompositor&) = delete;
    WaylandCompositor& operator=(const WaylandCompositor&) = delete;

    static bool Available() { return X11Process::OnPath("sway") && X11Process::OnPath("swaymsg"); }

    bool Running() const { return process && process->Running() && !socket.empty(); }
    // What a Wayland client of this compositor needs in its environment.
    std::vector<std::string> Environment() const;
    // Runs a sway command ("workspace 2"); its exit code.
    int Command(const std::string& command, std::string* output = nullptr) const;
    // The app id of the window that has the keyboard focus, or "".
    std::string FocusedAppId() const;
    const std::string& Problem() const { return problem; }

private:
    std::string serverFolder;   // the compositor's runtime folder
    std::string clientFolder;   // the clients' runtime folder
    std::string socket;         // absolute path of the Wayland socket
    std::string commandSocket;  // sway's IPC socket
    std::unique_ptr<X11Process> process;
    std::unique_ptr<X11Process> keyboard;
    std::string problem;
};
