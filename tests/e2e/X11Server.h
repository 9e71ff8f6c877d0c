#pragma once
// A private virtual X server (Xvfb) for one test program: the server picks a
// free display number itself, listens on its local socket only, and is ended
// with the object.

#include "tests/e2e/X11Process.h"

#include <memory>
#include <string>
#include <vector>

class X11Server {
public:
    // Starts Xvfb with one 24-bit screen; check Running() afterwards.
    X11Server();
    ~X11Server();
    X11Server(const X11Server&) = delete;
    X11Server& operator=(const X11Server&) = delete;

    static bool Available() { return X11Process::OnPath("Xvfb"); }

    bool Running() const { return !display.empty() && process && process->Running(); }
    // ":N", or empty when the server did not come up.
    const std::string& Display() const { return display; }
    // What a client of this server needs in its environment.
    std::vector<std::string> Environment() const { return {"DISPLAY=" + display}; }
    // Why it did not start, for test messages.
    const std::string& Problem() const { return problem; }

private:
    std::unique_ptr<X11Process> process;
    std::string display;
    std::string problem;
};
