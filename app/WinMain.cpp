// The program's entry: the command line, one copy per executable, start-up,
// the dialog, shutdown.

#include "app/InstanceMutex.h"
#include "app/Lifecycle.h"
#include "app/MainDialog.h"
#include "platform/Cp932Literal.h"
#include "platform/Win32.h"
#include "resources/Resources.h"

#include <cstring>

namespace {

// The desktop entry and icons are installed under this name.
constexpr const wchar_t* DesktopId = L"io.github.strumkey.Strumkey";

constexpr const char* Usage = "Usage: strumkey [--help | --version]\n";
constexpr const char* Help =
    "Strumkey: a guitar played on the computer keyboard.\n"
    "While its window has the keyboard focus, A to G strum chords; Shift, Ctrl,\n"
    "Alt and Tab choose the kind of chord, = and - raise or lower the root, the\n"
    "digits play sound effects and Space stops every sound.\n"
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "The settings are kept in strumkey.ini beside the program, or, where its\n"
#ifdef _WIN32
    "folder cannot be written, in %APPDATA%\\Strumkey\\.\n";
#else
    "folder cannot be written, in $XDG_CONFIG_HOME/strumkey/ (~/.config/strumkey/).\n";
#endif

void Print(DWORD stream, const char* text)
{
    DWORD written;
    WriteFile(GetStdHandle(stream), text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
}

// Answers --help and --version, refuses anything else; false when the program
// is to start.
bool AnswerCommandLine(const char* arguments, int& exitCode)
{
    exitCode = 0;
    if (arguments == nullptr || arguments[0] == '\0')
        return false;
    if (std::strcmp(arguments, "--help") == 0) {
        Print(STD_OUTPUT_HANDLE, Usage);
        Print(STD_OUTPUT_HANDLE, Help);
    } else if (std::strcmp(arguments, "--version") == 0) {
        Print(STD_OUTPUT_HANDLE, "Strumkey " STRUMKEY_VERSION "\n");
    } else {
        Print(STD_ERROR_HANDLE, Usage);
        exitCode = 2;
    }
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    // Answered before the one-copy check, so that they work beside a running copy.
    int exitCode;
    if (AnswerCommandLine(commandLine, exitCode))
        return exitCode;
    if (!TheInstanceMutex.TryLock()) {
        MessageBoxA(nullptr, CP932("二重起動はできません"), "Strumkey", MB_OK);
        return 0;
    }
    SetCurrentProcessExplicitAppUserModelID(DesktopId);
    StartUp();
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    ShutDown();
    return 0;
}
