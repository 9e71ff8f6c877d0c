#include "tests/e2e/X11Windows.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <thread>

namespace {

// Windows come and go while we look at them; a request on one that has just
// gone must not end the test (Xlib's own handler exits the process).
int IgnoreErrors(Display*, XErrorEvent*)
{
    return 0;
}

}  // namespace

X11Windows::X11Windows(const std::string& displayName)
{
    XSetErrorHandler(IgnoreErrors);
    display = XOpenDisplay(displayName.c_str());
}

X11Windows::~X11Windows()
{
    if (display != nullptr)
        XCloseDisplay(display);
}

unsigned long X11Windows::Intern(const char* name)
{
    return XInternAtom(display, name, False);
}

std::vector<X11Windows::Id> X11Windows::TopLevel()
{
    std::vector<Id> result;
    if (display == nullptr)
        return result;
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0)
        return result;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, children[i], &attributes) != 0 && attributes.map_state == IsViewable)
            result.push_back(children[i]);
    }
    if (children != nullptr)
        XFree(children);
    return result;
}

std::string X11Windows::Describe()
{
    std::string text;
    if (display == nullptr)
        return "no connection\n";
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0)
        return text;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes{};
        XGetWindowAttributes(display, children[i], &attributes);
        text += std::to_string(children[i]) + " \"" + Caption(children[i]) + "\" pid " +
                std::to_string(Pid(children[i])) + (attributes.map_state == IsViewable ? " viewable" : " hidden") +
                " " + std::to_string(attributes.width) + "x" + std::to_string(attributes.height) + "\n";
    }
    if (children != nullptr)
        XFree(children);
    return text;
}

std::string X11Windows::Caption(Id window)
{
    if (display == nullptr)
        return {};
    // Qt gives the UTF-8 caption as _NET_WM_NAME; WM_NAME is the fallback.
    for (const char* name : {"_NET_WM_NAME", "WM_NAME"}) {
        ::Atom actualType = 0;
        int format = 0;
        unsigned long items = 0, remaining = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, window, Intern(name), 0, 1024, False, AnyPropertyType, &actualType, &format,
                               &items, &remaining, &data) == Success &&
            data != nullptr) {
            std::string text(reinterpret_cast<char*>(data), items);
            XFree(data);
            if (format == 8)
                return text;
        }
    }
    return {};
}

pid_t X11Windows::Pid(Id window)
{
    if (display == nullptr)
        return 0;
    ::Atom actualType = 0;
    int format = 0;
    unsigned long items = 0, remaining = 0;
    unsigned char* data = nullptr;
    pid_t pid = 0;
    if (XGetWindowProperty(display, window, Intern("_NET_WM_PID"), 0, 1, False, XA_CARDINAL, &actualType, &format,
                           &items, &remaining, &data) == Success &&
        data != nullptr) {
        if (format == 32 && items == 1)
            pid = static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data));
        XFree(data);
    }
    return pid;
}

void X11Windows::Size(Id window, int* width, int* height)
{
    *width = *height = 0;
    XWindowAttributes attributes;
    if (display != nullptr && XGetWindowAttributes(display, window, &attributes) != 0) {
        *width = attributes.width;
        *height = attributes.height;
    }
}

std::vector<X11Windows::Id> X11Windows::OfProcess(pid_t pid)
{
    std::vector<Id> result;
    for (Id window : TopLevel())
        if (Pid(window) == pid)
            result.push_back(window);
    return result;
}

std::vector<X11Windows::Id> X11Windows::Find(const std::string& caption, pid_t pid)
{
    std::vector<Id> result;
    for (Id window : TopLevel())
        if (Caption(window) == caption && (pid == 0 || Pid(window) == pid))
            result.push_back(window);
    return result;
}

X11Windows::Id X11Windows::WaitFor(const std::string& caption, pid_t pid, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        std::vector<Id> found = Find(caption, pid);
        if (!found.empty())
            return found.front();
        if (std::chrono::steady_clock::now() >= end)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool X11Windows::WaitGone(pid_t pid, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!OfProcess(pid).empty()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool X11Windows::RequestClose(Id window)
{
    if (display == nullptr)
        return false;
    const ::Atom deleteWindow = Intern("WM_DELETE_WINDOW");
    ::Atom* protocols = nullptr;
    int count = 0;
    bool takesPart = false;
    if (XGetWMProtocols(display, window, &protocols, &count) != 0) {
        for (int i = 0; i < count; ++i)
            takesPart |= protocols[i] == deleteWindow;
        XFree(protocols);
    }
    if (!takesPart)
        return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = Intern("WM_PROTOCOLS");
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(deleteWindow);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
    return true;
}

void X11Windows::Focus(Id window)
{
    if (display == nullptr)
        return;
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);
}

void X11Windows::LockGroup(unsigned group)
{
    if (display == nullptr)
        return;
    XkbLockGroup(display, XkbUseCoreKbd, group);
    XSync(display, False);
}

X11Windows::Id X11Windows::Root()
{
    return display != nullptr ? DefaultRootWindow(display) : 0;
}

X11Windows::Id X11Windows::Focused()
{
    if (display == nullptr)
        return 0;
    ::Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    return focus;
}

bool X11Windows::Viewable(Id window)
{
    XWindowAttributes attributes;
    return display != nullptr && XGetWindowAttributes(display, window, &attributes) != 0 &&
           attributes.map_state == IsViewable;
}

bool X11Windows::SendKey(Id window, const char* keysym, bool press)
{
    if (display == nullptr)
        return false;
    const KeySym symbol = XStringToKeysym(keysym);
    const KeyCode code = symbol == NoSymbol ? 0 : XKeysymToKeycode(display, symbol);
    if (code == 0)
        return false;
    XEvent event{};
    event.xkey.type = press ? KeyPress : KeyRelease;
    event.xkey.display = display;
    event.xkey.window = window;
    event.xkey.root = DefaultRootWindow(display);
    event.xkey.subwindow = None;
    event.xkey.time = CurrentTime;
    event.xkey.x = event.xkey.y = event.xkey.x_root = event.xkey.y_root = 1;
    event.xkey.keycode = code;
    event.xkey.same_screen = True;
    const bool sent = XSendEvent(display, window, True, press ? KeyPressMask : KeyReleaseMask, &event) != 0;
    XFlush(display);
    return sent;
}
