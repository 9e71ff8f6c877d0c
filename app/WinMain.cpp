// The program's entry: the command line, one copy per executable, start-up,
// the dialog, shutdown.

#include "app/InstanceMutex.h"
#include "app/Lifecycle.h"
#include "app/MainDialog.h"
#include "app/Texts.h"
#include "platform/Win32.h"
#include "resources/Resources.h"

#include <cstring>

namespace {

// The desktop entry and icons are installed under this name.
constexpr const wchar_t* DesktopId = L"io.github.strumkey.Strumkey";

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
        Print(STD_OUTPUT_HANDLE, Text(IDS_USAGE));
        Print(STD_OUTPUT_HANDLE, Text(IDS_HELP));
#ifdef _WIN32
        Print(STD_OUTPUT_HANDLE, Text(IDS_HELP_SETTINGS_WINDOWS));
#else
        Print(STD_OUTPUT_HANDLE, Text(IDS_HELP_SETTINGS_LINUX));
#endif
    } else if (std::strcmp(arguments, "--version") == 0) {
        Print(STD_OUTPUT_HANDLE, "Strumkey " STRUMKEY_VERSION "\n");
    } else {
        Print(STD_ERROR_HANDLE, Text(IDS_USAGE));
        exitCode = 2;
    }
    return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    ChooseLanguage(instance);
    // Answered before the one-copy check, so that they work beside a running copy.
    int exitCode;
    if (AnswerCommandLine(commandLine, exitCode))
        return exitCode;
    if (!TheInstanceMutex.TryLock()) {
        MessageBoxA(nullptr, Text(IDS_ALREADY_RUNNING), "Strumkey", MB_OK);
        return 0;
    }
    SetCurrentProcessExplicitAppUserModelID(DesktopId);
    StartUp();
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    ShutDown();
    return 0;
}
