#pragma once
// A child program started with its own environment and its output in a file.
// The child dies with the test (parent-death signal), so a failed or crashed
// test never leaves an X server or a program window behind.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class X11Process {
public:
    struct Options {
        std::vector<std::string> args;   // args[0] is looked up on PATH when it holds no '/'
        std::vector<std::string> env;    // NAME=value, added to (or replacing in) the test's environment
        std::vector<std::string> unset;  // names removed from the environment
        std::string output;              // standard output and error go here; empty: /dev/null
        std::string workingDirectory;    // empty: the test's own
        int keepOpen = -1;               // one descriptor the child inherits as it is
    };

    explicit X11Process(const Options& options);
    ~X11Process();
    X11Process(const X11Process&) = delete;
    X11Process& operator=(const X11Process&) = delete;

    bool Started() const { return pid > 0; }
    pid_t Pid() const { return pid; }

    // True while the child has not ended.
    bool Running();
    // Exit code (128 + signal when killed), or nothing when it is still
    // running after the limit.
    std::optional<int> Wait(std::chrono::milliseconds limit);
    // Asks the child to end (SIGTERM), kills it when it does not; returns its status.
    int Stop();

    // Runs a tool to its end and gives its exit code; its output in *output.
    static int Run(const Options& options, std::string* output = nullptr,
                   std::chrono::milliseconds limit = std::chrono::seconds(30));
    // True when a program of that name is on PATH.
    static bool OnPath(const std::string& name);

private:
    bool Reap(int flags);

    pid_t pid = -1;
    std::optional<int> status;
};
