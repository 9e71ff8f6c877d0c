#pragma once
// A client connection to the test's X server that looks at the top-level
// windows the way a window manager would: their captions, owning processes
// and sizes, and the close request it sends when the close button is pressed.
// The server runs without a window manager, so top-level windows are the
// root window's children.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct _XDisplay;

class X11Windows {
public:
    using Id = unsigned long;  // an X window id

    explicit X11Windows(const std::string& display);
    ~X11Windows();
    X11Windows(const X11Windows&) = delete;
    X11Windows& operator=(const X11Windows&) = delete;

    bool Connected() const { return display != nullptr; }

    // Mapped top-level windows with this caption (UTF-8); pid 0 matches any process.
    std::vector<Id> Find(const std::string& caption, pid_t pid = 0);
    // The first such window, polled for until the limit; 0 when none came.
    Id WaitFor(const std::string& caption, pid_t pid, std::chrono::milliseconds limit);
    // True once no mapped window of that process is left, polled until the limit.
    bool WaitGone(pid_t pid, std::chrono::milliseconds limit);

    std::string Caption(Id window);
    pid_t Pid(Id window);
    void Size(Id window, int* width, int* height);
    // Mapped top-level windows of a process, whatever their captions.
    std::vector<Id> OfProcess(pid_t pid);

    // Every top-level window with its caption, process and map state, for
    // failure messages.
    std::string Describe();

    // Sends WM_DELETE_WINDOW, as a window manager does for the close button.
    // False when the window does not take part in that protocol.
    bool RequestClose(Id window);

    // Gives the window the input focus, as a click on it would.
    void Focus(Id window);
    // Switches the keyboard to a group of its layout list, as a desktop's
    // layout switcher does.
    void LockGroup(unsigned group);
    // The root window: focused, no application has the keyboard.
    Id Root();
    // The window that has the input focus, and whether a window is mapped
    // and visible (only then can it take the focus).
    Id Focused();
    bool Viewable(Id window);
    // Delivers one key event (an X keysym name such as "c" or "Return") to
    // the window straight from this connection, without a detour through a
    // helper program: for timing from the moment the key is sent.
    bool SendKey(Id window, const char* keysym, bool press);

private:
    std::vector<Id> TopLevel();
    unsigned long Intern(const char* name);

    _XDisplay* display = nullptr;
};
