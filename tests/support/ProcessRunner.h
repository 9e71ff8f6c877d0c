#pragma once
// Runs the entry probe as a child process with a chosen environment and
// collects its exit status and output.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

// This process's environment, without the names in unset and with the
// NAME=value entries of set over it.
inline std::vector<std::string> EnvironmentWith(const std::vector<std::string>& set,
                                                const std::vector<std::string>& unset = {})
{
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        bool drop = false;
        for (const std::string& name : unset)
            drop |= entry.rfind(name + "=", 0) == 0;
        for (const std::string& assignment : set)
            drop |= entry.rfind(assignment.substr(0, assignment.find('=') + 1), 0) == 0;
        if (!drop)
            environment.push_back(entry);
    }
    environment.insert(environment.end(), set.begin(), set.end());
    return environment;
}

// The null-terminated array of pointers into strings that spawn and exec take.
inline std::vector<char*> SpawnArray(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& s : strings)
        pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

struct ProcessResult {
    int status = -1;  // exit code, or 128 + signal
    std::string out;
    std::string err;
};

class ChildProcess {
public:
    // env: NAME=value entries added to the environment; unset: names removed.
    ChildProcess(const std::vector<std::string>& args, const std::vector<std::string>& env,
                 const std::vector<std::string>& unset)
    {
        std::vector<std::string> arguments = args;
        std::vector<std::string> environment = EnvironmentWith(env, unset);
        const std::vector<char*> argv = SpawnArray(arguments);
        const std::vector<char*> envp = SpawnArray(environment);
        int inPipe[2], outPipe[2], errPipe[2];
        if (pipe(inPipe) != 0 || pipe(outPipe) != 0 || pipe(errPipe) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
        for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1]})
            posix_spawn_file_actions_addclose(&actions, fd);
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(inPipe[0]);
        close(outPipe[1]);
        close(errPipe[1]);
        input = inPipe[1];
        out = fdopen(outPipe[0], "r");
        err = fdopen(errPipe[0], "r");
    }
    ~ChildProcess() { Finish(); }

    // One line of standard output (without the newline); empty at the end.
    std::string ReadLine()
    {
        char buffer[256];
        if (out == nullptr || std::fgets(buffer, sizeof buffer, out) == nullptr)
            return {};
        std::string line = buffer;
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        return line;
    }

    void Kill()
    {
        if (pid > 0)
            kill(pid, SIGKILL);
    }

    // Closes its input and waits for it to end.
    ProcessResult Finish()
    {
        if (input >= 0)
            close(input);
        input = -1;
        result.out += ReadAll(out);
        result.err += ReadAll(err);
        out = err = nullptr;
        if (pid > 0) {
            int status = 0;
            waitpid(pid, &status, 0);
            result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            pid = -1;
        }
        return result;
    }

private:
    static std::string ReadAll(FILE* file)
    {
        std::string all;
        if (file == nullptr)
            return all;
        char buffer[256];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            all.append(buffer, n);
        std::fclose(file);
        return all;
    }

    pid_t pid = -1;
    int input = -1;
    FILE* out = nullptr;
    FILE* err = nullptr;
    ProcessResult result;
};
