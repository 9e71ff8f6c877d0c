#pragma once
// The toolkit under the windows: started on first need (a dialog or a message
// box), only when a display can be reached, so that a machine without one gets
// a message instead of an abort. Internal to platform/.

namespace platform {

// Keeps the command line for the toolkit; main calls it before WinMain. The
// arguments must live until the process ends.
void SetApplicationArguments(int argc, char** argv);

// Whether a display can be reached: QT_QPA_PLATFORM names a platform that
// needs none (offscreen), or an X server or Wayland compositor answers.
bool DisplayReachable();

// Starts the toolkit if it is not running yet. False when no display can be
// reached.
bool StartUserInterface();

// A window could not be shown for want of a display: main then ends with a
// failure code.
void NoteUserInterfaceFailed();
bool UserInterfaceFailed();

// Ends the toolkit when it was started (main calls it after WinMain).
void EndUserInterface();

// The Linux thread id of the user-interface thread: the one that started the
// toolkit, or the calling thread before that.
unsigned long UserInterfaceThread();

}  // namespace platform
