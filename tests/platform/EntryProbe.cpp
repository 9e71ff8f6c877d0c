// A program around the platform's own main, driven by the entry and mutex
// tests. Its WinMain takes a command:
//   dialog        runs the main dialog template, ended at once with 7
//   args          prints the command line
//   try <name>    prints WaitForSingleObject(CreateMutexA(name), 0)
//   hold <name>   takes the mutex, prints "held", then waits for standard input to end
// Both close the mutex before they return, as the program does.

#include "platform/Win32.h"
#include "resources/Resources.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

INT_PTR CALLBACK EndAtOnce(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message == WM_INITDIALOG)
        EndDialog(dialog, 7);
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    std::string line = commandLine;
    if (line == "dialog") {
        INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, EndAtOnce, 0);
        std::printf("result %ld\n", static_cast<long>(result));
        return 0;
    }
    if (line.rfind("args", 0) == 0) {
        std::printf("[%s] %d %d\n", commandLine, previous == nullptr, show);
        return 0;
    }
    const bool hold = line.rfind("hold ", 0) == 0;
    if (hold || line.rfind("try ", 0) == 0) {
        HANDLE mutex = CreateMutexA(nullptr, FALSE, line.c_str() + (hold ? 5 : 4));
        DWORD wait = WaitForSingleObject(mutex, 0);
        std::printf(hold && wait == WAIT_OBJECT_0 ? "held\n" : "%lu\n", static_cast<unsigned long>(wait));
        std::fflush(stdout);
        if (hold) {
            char buffer[16];
            while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
            }
        }
        CloseHandle(mutex);
        return 0;
    }
    return 3;
}
