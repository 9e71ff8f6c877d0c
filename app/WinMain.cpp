// The program's entry: one copy per executable, start-up, the dialog, shutdown.

#include "app/InstanceMutex.h"
#include "app/Lifecycle.h"
#include "app/MainDialog.h"
#include "platform/Win32.h"
#include "resources/Resources.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (!TheInstanceMutex.TryLock()) {
        MessageBoxA(nullptr, "二重起動はできません", "Strumkey", MB_OK);
        return 0;
    }
    StartUp();
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainDialogProc, 0);
    ShutDown();
    return 0;
}
