#include "tests/e2e/X11Process.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

std::string FindOnPath(const std::string& name)
{
    if (name.find('/') != std::string::npos)
        return name;
    const char* path = std::getenv("PATH");
    std::stringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

std::vector<std::string> Environment(const X11Process::Options& options)
{
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool drop = false;
        for (const std::string& gone : options.unset)
            drop |= name == gone;
        for (const std::string& set : options.env)
            drop |= name == set.substr(0, set.find('='));
        if (!drop)
            result.push_back(text);
    }
    result.insert(result.end(), options.env.begin(), options.env.end());
    return result;
}

}  // namespace

X11Process::X11Process(const Options& options)
{
    const std::string program = FindOnPath(options.args.empty() ? std::string() : options.args[0]);
    if (program.empty())
        return;
    // Everything the child needs is prepared before the fork: after it, only
    // async-signal-safe calls are allowed.
    std::vector<std::string> environment = Environment(options);
    std::vector<char*> argv, envp;
    for (const std::string& arg : options.args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    const int output = open(options.output.empty() ? "/dev/null" : options.output.c_str(),
                            O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t parent = getpid();

    pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(126);  // the parent is already gone
        setpgid(0, 0);   // keep keyboard signals of the terminal away
        if (input >= 0)
            dup2(input, 0);
        if (output >= 0) {
            dup2(output, 1);
            dup2(output, 2);
        }
        if (options.keepOpen >= 0)
            fcntl(options.keepOpen, F_SETFD, 0);
        if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0)
            _exit(126);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    if (output >= 0)
        close(output);
    if (input >= 0)
        close(input);
}

X11Process::~X11Process()
{
    if (Started())
        Stop();
}

bool X11Process::Reap(int flags)
{
    if (pid <= 0 || status)
        return true;
    int waitStatus = 0;
    const pid_t done = waitpid(pid, &waitStatus, flags);
    if (done != pid)
        return false;
    status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
    return true;
}

bool X11Process::Running()
{
    return Started() && !Reap(WNOHANG);
}

std::optional<int> X11Process::Wait(std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!Reap(WNOHANG)) {
        if (std::chrono::steady_clock::now() >= end)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return status;
}

int X11Process::Stop()
{
    if (!Started())
        return -1;
    if (Running()) {
        kill(pid, SIGTERM);
        if (!Wait(std::chrono::seconds(5))) {
            kill(pid, SIGKILL);
            Reap(0);
        }
    }
    return status.value_or(-1);
}

int X11Process::Run(const Options& options, std::string* output, std::chrono::milliseconds limit)
{
    Options withOutput = options;
    char name[] = "/tmp/strumkey-tool-XXXXXX";
    const int file = mkstemp(name);
    if (file >= 0) {
        close(file);
        withOutput.output = name;
    }
    X11Process process(withOutput);
    std::optional<int> status = process.Wait(limit);
    if (!status) {
        process.Stop();
        status = 128 + SIGKILL;
    }
    if (output != nullptr && file >= 0) {
        std::ifstream in(name, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        *output = text.str();
    }
    if (file >= 0)
        unlink(name);
    return *status;
}

bool X11Process::OnPath(const std::string& name)
{
    return !FindOnPath(name).empty();
}
