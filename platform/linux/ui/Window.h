#pragma once
// The object behind an HWND: a toolkit widget with the Windows window data
// around it (window procedure, user data, id, style, children). Internal to
// platform/; all of it lives on the user-interface thread.

#include "platform/Win32.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

namespace platform {

class Dialog;

class Window {
public:
    // The window takes ownership of the widget. A child is owned by its
    // parent and listed among its children in creation order.
    Window(Window* parent, QWidget* widget, WNDPROC procedure, DWORD style, int id, HINSTANCE instance);
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // The live window behind a handle; null for anything else.
    static Window* From(HWND handle);
    HWND Handle() const { return reinterpret_cast<HWND>(const_cast<Window*>(this)); }

    QWidget* Widget() const { return widget; }
    Window* Parent() const { return parent; }
    Window* TopLevel();
    const std::vector<std::unique_ptr<Window>>& Children() const { return children; }
    Window* Child(int id) const;
    virtual Dialog* AsDialog() { return nullptr; }

    DWORD Style() const { return style; }
    int Id() const { return id; }
    bool IsVisibleAndEnabled() const;
    // The text of the window as it shows it (cp932); statics only.
    virtual std::string Text() const { return {}; }

    // Calls the current window procedure.
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam);
    // Sends WM_HSCROLL or another notification to the parent, if any.
    LRESULT NotifyParent(UINT message, WPARAM wParam);

    virtual bool GetLong(int index, LONG_PTR& value) const;
    virtual bool SetLong(int index, LONG_PTR value, LONG_PTR& previous);

    // Icons set with WM_SETICON; the window shows the big one, else the small.
    HICON SetIcon(WPARAM which, HICON icon);

    // Sends WM_DESTROY to this window and its children, then deletes it.
    static void Destroy(std::unique_ptr<Window> window);
    // Takes a child out of this window's list.
    std::unique_ptr<Window> Release(Window* child);

    // Called by a control's widget when it receives the keyboard focus.
    void NoteFocusIn();

protected:
    // For windows whose widget needs the window to exist first.
    void SetWidget(QWidget* view) { widget = view; }
    void Adopt(std::unique_ptr<Window> child);
    friend class WindowFactory;

private:
    void SendDestroy();

    Window* parent;
    QPointer<QWidget> widget;
    WNDPROC procedure;
    LONG_PTR userData = 0;
    DWORD style;
    int id;
    HINSTANCE instance;
    HICON smallIcon = nullptr;
    HICON bigIcon = nullptr;
    std::vector<std::unique_ptr<Window>> children;
};

// Creates the child controls: a static, a trackbar or a status bar, by class
// name (any case); null for any other class. The new window belongs to parent.
class WindowFactory {
public:
    static Window* CreateControl(Window& parent, const std::string& className, const std::string& textUtf8, DWORD style,
                                 const QRect& geometry, int id, HINSTANCE instance, const QFont& font);
};

// Rounds value * numerator / denominator to the nearest integer, halves away
// from zero, as MulDiv does.
int MulDiv(int value, int numerator, int denominator);

}  // namespace platform
