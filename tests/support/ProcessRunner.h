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
        std::vector<std::string> environment;
        for (char** e = environ; *e != nullptr; ++e) {
            std::string entry = *e;
            bool drop = false;
            for (const std::string& name : unset)
                drop |= entry.rfind(name + "=", 0) == 0;
            for (const std::string& set : env)
                drop |= entry.rfind(set.substr(0, set.find('=') + 1), 0) == 0;
            if (!drop)
                environment.push_back(entry);
        }
        environment.insert(environment.end(), env.begin(), env.end());
        std::vector<char*> argv, envp;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        for (std::string& e : environment)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        int in[2], out[2], err[2];
        if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            posix_spawn_file_actions_addclose(&actions, fd);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        close(err[1]);
        stdin_ = in[1];
        out_ = fdopen(out[0], "r");
        err_ = fdopen(err[0], "r");
    }
    ~ChildProcess() { Finish(); }

    // One line of standard output (without the newline); empty at the end.
    std::string ReadLine()
    {
        char buffer[256];
        if (out_ == nullptr || std::fgets(buffer, sizeof buffer, out_) == nullptr)
            return {};
        std::string line = buffer;
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        return line;
    }

    void Kill()
    {
        if (pid_ > 0)
            kill(pid_, SIGKILL);
    }

    // Closes its input and waits for it to end.
    ProcessResult Finish()
    {
        if (stdin_ >= 0)
            close(stdin_);
        stdin_ = -1;
        result_.out += ReadAll(out_);
        result_.err += ReadAll(err_);
        out_ = err_ = nullptr;
        if (pid_ > 0) {
            int status = 0;
            waitpid(pid_, &status, 0);
            result_.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            pid_ = -1;
        }
        return result_;
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

    pid_t pid_ = -1;
    int stdin_ = -1;
    FILE* out_ = nullptr;
    FILE* err_ = nullptr;
    ProcessResult result_;
};
