#pragma once
// Runs a check as a user who cannot write a folder, as an installed copy's
// users cannot write its folder. The folder loses its write bits; as root,
// whom the bits do not stop, the check runs in a child process that has
// become the unprivileged user "nobody" (the folders above must let it in).

#ifdef _WIN32
// The Windows build's tests run as root under Wine, which keeps no access
// lists, and a folder's read-only attribute does not stop files being made
// in it: no folder can be closed to them. Its tests that need one skip.
inline constexpr const char* NoUnwritableFolders =
    "Wine, run as root, has no folder this program cannot write (no access lists)";
#else

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

// True when check() returned true. The folder gets its write bits back.
template <class Check>
bool CheckWithoutWriteAccess(const std::string& folder, Check check)
{
    ::chmod(folder.c_str(), 0555);
    bool passed;
    if (::geteuid() != 0) {
        passed = check();
    } else {
        const pid_t child = ::fork();
        if (child == 0) {
            const uid_t nobody = 65534;
            if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
                std::_Exit(2);
            std::_Exit(check() ? 0 : 1);
        }
        int status = 0;
        passed = child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    ::chmod(folder.c_str(), 0755);
    return passed;
}
#endif
