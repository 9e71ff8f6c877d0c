// user32: windows, window procedures, window data, messages.

#include "platform/linux/ui/Window.h"

#include "platform/Check.h"
#include "platform/linux/ui/Dialog.h"
#include "platform/linux/ui/Icon.h"
#include "platform/linux/ui/StaticText.h"
#include "platform/linux/ui/StatusBar.h"
#include "platform/linux/ui/Trackbar.h"
#include "platform/Text.h"
#include "platform/linux/ui/UserInterface.h"

#include <QApplication>

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cstdlib>
#include <mutex>
#include <unordered_set>

namespace platform {
namespace {

struct WindowTable {
    std::mutex lock;
    std::unordered_set<const Window*> windows;
};

WindowTable& Windows()
{
    static WindowTable* table = new WindowTable;
    return *table;
}

bool OnUserInterfaceThread()
{
    return static_cast<unsigned long>(::syscall(SYS_gettid)) == UserInterfaceThread();
}

bool SameClass(const std::string& a, const char* b)
{
    return a.size() == std::strlen(b) && std::equal(a.begin(), a.end(), b, [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Alt+character without a menu to take it: the window is asked with
// WM_MENUCHAR; unless it answers MNC_CLOSE the menu stays active.
void KeyMenu(Window& top, WPARAM character)
{
    if (character == 0 || character == ' ')
        return;  // the window menu itself is not shown
    LRESULT answer = top.Send(WM_MENUCHAR, MAKEWPARAM(static_cast<WORD>(character), MF_SYSMENU), 0);
    if (HIWORD(static_cast<ULONG_PTR>(answer)) == MNC_CLOSE)
        return;
    QApplication::beep();
    if (Dialog* dialog = top.AsDialog())
        dialog->EnterMenuMode();
}

}  // namespace

int MulDiv(int value, int numerator, int denominator)
{
    if (denominator == 0)
        return -1;
    long long product = static_cast<long long>(value) * numerator;
    long long half = std::llabs(static_cast<long long>(denominator)) / 2;
    bool negative = (product < 0) != (denominator < 0);
    long long magnitude = (std::llabs(product) + half) / std::llabs(static_cast<long long>(denominator));
    return static_cast<int>(negative ? -magnitude : magnitude);
}

Window::Window(Window* parent, QWidget* widget, WNDPROC procedure, DWORD style, int id, HINSTANCE instance)
    : parent(parent), widget(widget), procedure(procedure), style(style), id(id), instance(instance)
{
    WindowTable& table = Windows();
    std::lock_guard guard(table.lock);
    table.windows.insert(this);
}

Window::~Window()
{
    {
        WindowTable& table = Windows();
        std::lock_guard guard(table.lock);
        table.windows.erase(this);
    }
    children.clear();  // children first: their widgets sit inside ours
    delete widget.data();
}

Window* Window::From(HWND handle)
{
    auto* window = reinterpret_cast<const Window*>(handle);
    WindowTable& table = Windows();
    std::lock_guard guard(table.lock);
    return table.windows.count(window) ? const_cast<Window*>(window) : nullptr;
}

Window* Window::TopLevel()
{
    Window* window = this;
    while (window->parent != nullptr)
        window = window->parent;
    return window;
}

Window* Window::Child(int id) const
{
    for (const auto& child : children)
        if (child->id == id)
            return child.get();
    return nullptr;
}

bool Window::IsVisibleAndEnabled() const
{
    return widget && !widget->isHidden() && widget->isEnabled();
}

LRESULT Window::Send(UINT message, WPARAM wParam, LPARAM lParam)
{
    return procedure != nullptr ? procedure(Handle(), message, wParam, lParam) : 0;
}

LRESULT Window::NotifyParent(UINT message, WPARAM wParam)
{
    return parent != nullptr ? parent->Send(message, wParam, reinterpret_cast<LPARAM>(Handle())) : 0;
}

bool Window::GetLong(int index, LONG_PTR& value) const
{
    switch (index) {
    case GWLP_WNDPROC:
        value = reinterpret_cast<LONG_PTR>(procedure);
        return true;
    case GWLP_USERDATA:
        value = userData;
        return true;
    case GWLP_HINSTANCE:
        value = reinterpret_cast<LONG_PTR>(instance);
        return true;
    case GWLP_ID:
        value = id;
        return true;
    case GWL_STYLE:
        value = static_cast<LONG_PTR>(style);
        return true;
    case GWLP_HWNDPARENT:
        value = parent != nullptr ? reinterpret_cast<LONG_PTR>(parent->Handle()) : 0;
        return true;
    default:
        return false;
    }
}

bool Window::SetLong(int index, LONG_PTR value, LONG_PTR& previous)
{
    if (!GetLong(index, previous))
        return false;
    switch (index) {
    case GWLP_WNDPROC:
        procedure = reinterpret_cast<WNDPROC>(value);
        return true;
    case GWLP_USERDATA:
        userData = value;
        return true;
    case GWLP_HINSTANCE:
        instance = reinterpret_cast<HINSTANCE>(value);
        return true;
    case GWLP_ID:
        id = static_cast<int>(value);
        return true;
    case GWL_STYLE:
        style = static_cast<DWORD>(value);
        return true;
    default:
        return false;  // the parent cannot be changed here
    }
}

HICON Window::SetIcon(WPARAM which, HICON icon)
{
    HICON& slot = which == ICON_BIG ? bigIcon : smallIcon;
    HICON previous = slot;
    slot = icon;
    if (widget && widget->isWindow())
        widget->setWindowIcon(IconOf(bigIcon != nullptr ? bigIcon : smallIcon));
    return previous;
}

void Window::SendDestroy()
{
    Send(WM_DESTROY, 0, 0);
    for (const auto& child : children)
        child->SendDestroy();
}

void Window::Destroy(std::unique_ptr<Window> window)
{
    if (window)
        window->SendDestroy();
}

std::unique_ptr<Window> Window::Release(Window* child)
{
    auto it = std::find_if(children.begin(), children.end(), [child](const auto& c) { return c.get() == child; });
    if (it == children.end())
        return nullptr;
    std::unique_ptr<Window> released = std::move(*it);
    children.erase(it);
    return released;
}

void Window::NoteFocusIn()
{
    if (Dialog* dialog = TopLevel()->AsDialog())
        dialog->NoteFocus(this);
}

void Window::Adopt(std::unique_ptr<Window> child)
{
    children.push_back(std::move(child));
}

Window* WindowFactory::CreateControl(Window& parent, const std::string& className, const std::string& textUtf8,
                                     DWORD style, const QRect& geometry, int id, HINSTANCE instance, const QFont& font)
{
    std::unique_ptr<Window> control;
    if (SameClass(className, "static"))
        control = std::make_unique<StaticText>(parent, textUtf8, style, geometry, id, instance, font);
    else if (SameClass(className, TRACKBAR_CLASSA))
        control = std::make_unique<Trackbar>(parent, style, geometry, id, instance);
    else if (SameClass(className, STATUSCLASSNAMEA))
        control = std::make_unique<StatusBar>(parent, style, id, instance, font);
    else
        return nullptr;
    Window* raw = control.get();
    parent.Adopt(std::move(control));
    // A control without WS_VISIBLE stays hidden when its dialog is shown.
    raw->Widget()->setVisible((style & WS_VISIBLE) != 0);
    return raw;
}

}  // namespace platform

using platform::Window;

LRESULT SendMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window* window = Window::From(handle);
    if (window == nullptr || !platform::OnUserInterfaceThread()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return window->Send(message, wParam, lParam);
}

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return procedure != nullptr ? procedure(window, message, wParam, lParam) : 0;
}

LRESULT DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window* window = Window::From(handle);
    if (window == nullptr)
        return 0;
    constexpr LPARAM AltDown = LPARAM{1} << 29;
    switch (message) {
    case WM_SETICON:
        return reinterpret_cast<LRESULT>(window->SetIcon(wParam, reinterpret_cast<HICON>(lParam)));
    case WM_SYSKEYDOWN:
        if ((lParam & AltDown) && wParam == static_cast<WPARAM>(VK_F4))
            window->TopLevel()->Send(WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_SYSCHAR:
        if (wParam != '\t' && wParam != 0x1B)
            window->Send(WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(wParam));
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            window->TopLevel()->Send(WM_CLOSE, 0, 0);
            break;
        case SC_KEYMENU:
            platform::KeyMenu(*window->TopLevel(), static_cast<WPARAM>(lParam));
            break;
        default:
            break;
        }
        return 0;
    default:
        return 0;
    }
}

LONG_PTR SetWindowLongPtrA(HWND handle, int index, LONG_PTR value)
{
    Window* window = Window::From(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR previous = 0;
    if (!window->SetLong(index, value, previous)) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return previous;
}

LONG_PTR GetWindowLongPtrA(HWND handle, int index)
{
    Window* window = Window::From(handle);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR value = 0;
    if (!window->GetLong(index, value)) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return value;
}

HWND GetDlgItem(HWND dialog, int id)
{
    Window* window = Window::From(dialog);
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    Window* child = window->Child(id);
    return child != nullptr ? child->Handle() : nullptr;
}

DWORD GetWindowThreadProcessId(HWND handle, LPDWORD processId)
{
    if (Window::From(handle) == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (processId != nullptr)
        *processId = static_cast<DWORD>(::getpid());
    return static_cast<DWORD>(platform::UserInterfaceThread());
}

void InitCommonControls()
{}

HWND CreateWindowExA(DWORD, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width, int height,
                     HWND parentHandle, HMENU menu, HINSTANCE instance, LPVOID)
{
    STRUMKEY_CHECK(platform::OnMainThread());
    Window* parent = Window::From(parentHandle);
    // Only child controls of the known classes, named by text, are made here.
    if (parent == nullptr || !(style & WS_CHILD) || className == nullptr || IS_INTRESOURCE(className) ||
        !platform::OnUserInterfaceThread()) {
        SetLastError(parent == nullptr ? ERROR_INVALID_WINDOW_HANDLE : ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    const std::string text = platform::Cp932ToUtf8(windowName != nullptr ? windowName : "");
    QFont font = parent->Widget() != nullptr ? parent->Widget()->font() : QFont();
    Window* control = platform::WindowFactory::CreateControl(
        *parent, className, text, style, QRect(x, y, width, height),
        static_cast<int>(reinterpret_cast<std::uintptr_t>(menu)), instance, font);
    if (control == nullptr) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    return control->Handle();
}
