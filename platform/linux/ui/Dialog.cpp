// user32: modal dialogs from templates and the dialog manager.

#include "platform/linux/ui/Dialog.h"

#include "platform/Check.h"
#include "platform/linux/ui/Resources.h"
#include "platform/linux/ui/StaticText.h"
#include "platform/linux/ui/UserInterface.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>

namespace platform {
namespace {

constexpr WORD DC_HASDEFID = 0x534B;
constexpr int DialogDpi = 96;  // the toolkit scales logical pixels to the screen

std::vector<Dialog*>& LiveDialogs()
{
    static std::vector<Dialog*> dialogs;
    return dialogs;
}

class DialogWidget : public QWidget {
public:
    DialogWidget(Dialog& owner, QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags), owner(owner) {}

protected:
    // The window's close button asks the dialog; only EndDialog ends it.
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        owner.OnCloseRequested();
    }

private:
    Dialog& owner;
};

Qt::WindowFlags FlagsOf(DWORD style, bool owned)
{
    Qt::WindowFlags flags = (owned ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint;
    if ((style & WS_CAPTION) == WS_CAPTION)
        flags |= Qt::WindowTitleHint;
    if (style & WS_SYSMENU)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (style & WS_MINIMIZEBOX)
        flags |= Qt::WindowMinimizeButtonHint;
    if (style & WS_MAXIMIZEBOX)
        flags |= Qt::WindowMaximizeButtonHint;
    return flags;
}

QFont FontOf(const DialogTemplate& dialogTemplate)
{
    if (!(dialogTemplate.style & DS_SETFONT))
        return QGuiApplication::font();
    QFont font(QString::fromStdString(dialogTemplate.typeface));
    // A point size is a character height of size/72 inch, as Windows asks for it.
    font.setPixelSize(std::max(1, MulDiv(dialogTemplate.pointSize, DialogDpi, 72)));
    if (dialogTemplate.weight != 0)
        font.setWeight(static_cast<QFont::Weight>(std::clamp<int>(dialogTemplate.weight, 1, 1000)));
    font.setItalic(dialogTemplate.italic != 0);
    return font;
}

std::string ClassNameOf(const DialogItemTemplate& item)
{
    switch (item.classAtom) {
    case 0:
        return item.className;
    case ButtonClassAtom:
        return "button";
    case EditClassAtom:
        return "edit";
    case StaticClassAtom:
        return "static";
    default:
        return "#" + std::to_string(item.classAtom);
    }
}

}  // namespace

Dialog::Dialog(const DialogTemplate& dialogTemplate, Window* owner, DLGPROC procedure, HINSTANCE instance)
    : Window(nullptr, nullptr, &Dialog::Procedure, dialogTemplate.style, 0, instance),
      procedure(procedure),
      font(FontOf(dialogTemplate))
{
    // The base units: the average width of the Latin letters, rounded, and
    // the font's height.
    QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX = std::max(1, (letters / 26 + 1) / 2);
    baseY = std::max(1, metrics.height());

    QWidget* ownerWidget = owner != nullptr ? owner->Widget() : nullptr;
    auto* widget = new DialogWidget(*this, ownerWidget, FlagsOf(dialogTemplate.style, ownerWidget != nullptr));
    SetWidget(widget);
    if (ownerWidget != nullptr)
        widget->setWindowModality(Qt::WindowModal);
    widget->setFont(font);
    widget->setWindowTitle(QString::fromStdString(dialogTemplate.caption));
    const QRect area = MapDialogRect(dialogTemplate.x, dialogTemplate.y, dialogTemplate.cx, dialogTemplate.cy);
    if (dialogTemplate.style & WS_THICKFRAME)
        widget->resize(area.size());
    else
        widget->setFixedSize(area.size());
    // The position counts from the owner's client area, else from the
    // screen's work area, where Windows keeps dialogs.
    QPoint origin;
    if (ownerWidget != nullptr) {
        origin = ownerWidget->mapToGlobal(QPoint(0, 0));
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        origin = screen->availableGeometry().topLeft();
    }
    if ((dialogTemplate.style & DS_CENTER) && QGuiApplication::primaryScreen() != nullptr) {
        const QRect around = ownerWidget != nullptr ? ownerWidget->frameGeometry()
                                                    : QGuiApplication::primaryScreen()->availableGeometry();
        widget->move(around.center() - QPoint(area.width() / 2, area.height() / 2));
    } else {
        widget->move(origin + area.topLeft());
    }
    LiveDialogs().push_back(this);
}

Dialog::~Dialog()
{
    auto& dialogs = LiveDialogs();
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), this), dialogs.end());
}

Dialog* Dialog::OfWindow(const QObject* window)
{
    for (Dialog* dialog : LiveDialogs())
        if (dialog->Widget() != nullptr && static_cast<const QObject*>(dialog->Widget()->windowHandle()) == window)
            return dialog;
    return nullptr;
}

QRect Dialog::MapDialogRect(int x, int y, int cx, int cy) const
{
    return QRect(MulDiv(x, baseX, 4), MulDiv(y, baseY, 8), MulDiv(cx, baseX, 4), MulDiv(cy, baseY, 8));
}

bool Dialog::CreateControls(const DialogTemplate& dialogTemplate, HINSTANCE instance)
{
    for (const DialogItemTemplate& item : dialogTemplate.items) {
        const QRect geometry = MapDialogRect(item.x, item.y, item.cx, item.cy);
        Window* control = WindowFactory::CreateControl(*this, ClassNameOf(item), item.text, item.style, geometry,
                                                       static_cast<int>(item.id), instance, font);
        if (control == nullptr)
            return false;
    }
    // As on Windows, a control without a text of its own is known to screen
    // readers by the label just before it.
    const StaticText* label = nullptr;
    for (const auto& child : Children()) {
        if (label != nullptr && child->Text().empty() && child->Widget()->accessibleName().isEmpty())
            child->Widget()->setAccessibleName(static_cast<QLabel*>(label->Widget())->text());
        label = dynamic_cast<const StaticText*>(child.get());
    }
    return true;
}

INT_PTR Dialog::RunModal(HINSTANCE instance, const DialogTemplate& dialogTemplate, HWND ownerHandle, DLGPROC procedure,
                         LPARAM param)
{
    Window* owner = Window::From(ownerHandle);
    if (ownerHandle != nullptr && owner == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    if (!StartUserInterface()) {
        NoteUserInterfaceFailed();
        std::fprintf(stderr, "%s: cannot open a window: no display can be reached (DISPLAY or WAYLAND_DISPLAY)\n",
                     program_invocation_short_name);
        return -1;
    }
    auto dialog = std::make_unique<Dialog>(dialogTemplate, owner, procedure, instance);
    if (!dialog->CreateControls(dialogTemplate, instance)) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return -1;
    }
    Window* first = dialog->FirstTabStop();
    const LRESULT focusDefault =
        dialog->Send(WM_INITDIALOG, reinterpret_cast<WPARAM>(first != nullptr ? first->Handle() : nullptr), param);
    if (focusDefault != 0 && first != nullptr)
        dialog->SetFocusTo(first);
    if (!dialog->ended) {
        QWidget* widget = dialog->Widget();
        widget->show();
        widget->raise();
        widget->activateWindow();
        QEventLoop loop;
        dialog->loop = &loop;
        // The loop sleeps in the toolkit until an event comes; it returns at
        // EndDialog, or when the application is told to quit.
        loop.exec();
        dialog->loop = nullptr;
    }
    const INT_PTR result = dialog->result;
    Window::Destroy(std::move(dialog));
    return result;
}

bool Dialog::End(INT_PTR value)
{
    result = value;
    ended = true;
    if (Widget() != nullptr)
        Widget()->hide();
    if (loop != nullptr)
        loop->exit();
    return true;
}

void Dialog::OnCloseRequested()
{
    if (!ended)
        Send(WM_CLOSE, 0, 0);
}

bool Dialog::GetLong(int index, LONG_PTR& value) const
{
    switch (index) {
    case DWLP_MSGRESULT:
        value = msgResult;
        return true;
    case DWLP_DLGPROC:
        value = reinterpret_cast<LONG_PTR>(procedure);
        return true;
    case DWLP_USER:
        value = user;
        return true;
    default:
        return Window::GetLong(index, value);
    }
}

bool Dialog::SetLong(int index, LONG_PTR value, LONG_PTR& previous)
{
    if (!GetLong(index, previous))
        return false;
    switch (index) {
    case DWLP_MSGRESULT:
        msgResult = value;
        return true;
    case DWLP_DLGPROC:
        procedure = reinterpret_cast<DLGPROC>(value);
        return true;
    case DWLP_USER:
        user = value;
        return true;
    default:
        return Window::SetLong(index, value, previous);
    }
}

void Dialog::SetFocusTo(Window* window)
{
    focus = window;
    if (window != nullptr && window->Widget() != nullptr)
        window->Widget()->setFocus(Qt::OtherFocusReason);
}

Window* Dialog::FirstTabStop() const
{
    for (const auto& child : Children())
        if ((child->Style() & WS_TABSTOP) && child->IsVisibleAndEnabled())
            return child.get();
    return nullptr;
}

Window* Dialog::NextTabStop(Window* from, bool backwards) const
{
    const auto& children = Children();
    const auto count = static_cast<std::ptrdiff_t>(children.size());
    auto at = std::find_if(children.begin(), children.end(), [from](const auto& c) { return c.get() == from; });
    std::ptrdiff_t index = at == children.end() ? (backwards ? 0 : -1) : at - children.begin();
    for (std::ptrdiff_t step = 1; step <= count; ++step) {
        std::ptrdiff_t i = ((index + (backwards ? -step : step)) % count + count) % count;
        Window* candidate = children[static_cast<std::size_t>(i)].get();
        if ((candidate->Style() & WS_TABSTOP) && candidate->IsVisibleAndEnabled())
            return candidate;
    }
    return nullptr;
}

Window* Dialog::NextInGroup(Window* from, bool backwards) const
{
    const auto& children = Children();
    auto at = std::find_if(children.begin(), children.end(), [from](const auto& c) { return c.get() == from; });
    if (at == children.end())
        return nullptr;
    // The group runs from the last WS_GROUP control at or before this one to
    // the next WS_GROUP control.
    auto first = at;
    while (first != children.begin() && !((*first)->Style() & WS_GROUP))
        --first;
    auto last = at + 1;
    while (last != children.end() && !((*last)->Style() & WS_GROUP))
        ++last;
    const auto count = last - first;
    const auto index = at - first;
    for (std::ptrdiff_t step = 1; step < count; ++step) {
        auto i = ((index + (backwards ? -step : step)) % count + count) % count;
        Window* candidate = first[i].get();
        if (candidate->IsVisibleAndEnabled() && dynamic_cast<StaticText*>(candidate) == nullptr)
            return candidate;
    }
    return nullptr;
}

bool Dialog::Mnemonic(char character)
{
    const char wanted = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
    if (wanted == 0)
        return false;
    for (const auto& child : Children()) {
        auto* text = dynamic_cast<StaticText*>(child.get());
        if (text == nullptr || text->Mnemonic() != wanted || !text->IsVisibleAndEnabled())
            continue;
        // A label's mnemonic leads to the control after it.
        if (Window* next = NextTabStop(text, false))
            SetFocusTo(next);
        return true;
    }
    return false;
}

void Dialog::ProcessKey(UINT message, WPARAM virtualKey, LPARAM keyData, const std::string& characters)
{
    if (ended)
        return;
    if (menuMode) {
        if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN)
            menuMode = false;
        return;
    }
    Window* target = focus != nullptr && Window::From(focus->Handle()) == focus ? focus : this;
    MSG msg{target->Handle(), message, virtualKey, keyData, 0, {0, 0}};
    DialogMessage(msg, characters);
}

void Dialog::DialogMessage(MSG& msg, const std::string& characters)
{
    Window* target = Window::From(msg.hwnd);
    if (target == nullptr)
        return;
    switch (msg.message) {
    case WM_KEYDOWN: {
        const LRESULT code = target->Send(WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
        if (code & DLGC_WANTMESSAGE)
            break;
        switch (msg.wParam) {
        case VK_TAB:
            if (code & DLGC_WANTTAB)
                break;
            if (Window* next = NextTabStop(target == this ? nullptr : target, (GetKeyState(VK_SHIFT) & 0x80) != 0))
                SetFocusTo(next);
            return;
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
            if (code & DLGC_WANTARROWS)
                break;
            if (Window* next = NextInGroup(target, msg.wParam == VK_LEFT || msg.wParam == VK_UP))
                SetFocusTo(next);
            return;
        case VK_ESCAPE: {
            Window* cancel = Child(IDCANCEL);
            Send(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(cancel != nullptr ? cancel->Handle() : nullptr));
            return;
        }
        case VK_RETURN: {
            const auto defaultId = static_cast<ULONG_PTR>(Send(DM_GETDEFID, 0, 0));
            const WORD id = HIWORD(defaultId) == DC_HASDEFID ? LOWORD(defaultId) : IDOK;
            Window* button = Child(id);
            Send(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button != nullptr ? button->Handle() : nullptr));
            return;
        }
        default:
            break;
        }
        break;
    }
    case WM_CHAR: {
        const LRESULT code = target->Send(WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
        if (code & (DLGC_WANTCHARS | DLGC_WANTMESSAGE))
            break;
        if (msg.wParam == '\t' && (code & DLGC_WANTTAB))
            break;
        if (Mnemonic(static_cast<char>(msg.wParam)))
            return;
        break;
    }
    case WM_SYSCHAR:
        if (Mnemonic(static_cast<char>(msg.wParam)))
            return;
        break;
    default:
        break;
    }
    target->Send(msg.message, msg.wParam, msg.lParam);
    // The characters the key types follow its key-down, to the same window.
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
        const UINT charMessage = msg.message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
        for (unsigned char c : characters) {
            MSG typed{msg.hwnd, charMessage, c, msg.lParam, 0, {0, 0}};
            DialogMessage(typed, {});
        }
    }
}

LRESULT Dialog::Process(UINT message, WPARAM wParam, LPARAM lParam)
{
    msgResult = 0;
    const INT_PTR handled = procedure != nullptr ? procedure(Handle(), message, wParam, lParam) : FALSE;
    if (handled != FALSE)
        return message == WM_INITDIALOG ? handled : msgResult;
    switch (message) {
    case WM_CLOSE: {
        // As a click on a Cancel button.
        Window* cancel = Child(IDCANCEL);
        Send(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
             reinterpret_cast<LPARAM>(cancel != nullptr ? cancel->Handle() : nullptr));
        return 0;
    }
    case WM_INITDIALOG:
    case WM_GETDLGCODE:
    case DM_GETDEFID:
        return 0;
    default:
        return DefWindowProcA(Handle(), message, wParam, lParam);
    }
}

LRESULT CALLBACK Dialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* dialog = dynamic_cast<Dialog*>(Window::From(window));
    if (dialog == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
    return dialog->Process(message, wParam, lParam);
}

}  // namespace platform

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC dialogProc, LPARAM param)
{
    using namespace platform;
    STRUMKEY_CHECK(OnMainThread());
    if (templateName == nullptr || !IS_INTRESOURCE(templateName)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);  // templates are found by number only
        return -1;
    }
    const Resource* resource = FindResource(
        instance, RT_DIALOG, static_cast<WORD>(reinterpret_cast<ULONG_PTR>(templateName)), GetThreadUILanguage());
    if (resource == nullptr) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    std::optional<DialogTemplate> parsed = ParseDialogTemplate(resource->data);
    if (!parsed) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return -1;
    }
    return Dialog::RunModal(instance, *parsed, owner, dialogProc, param);
}

BOOL EndDialog(HWND handle, INT_PTR result)
{
    platform::Window* window = platform::Window::From(handle);
    platform::Dialog* dialog = window != nullptr ? window->AsDialog() : nullptr;
    if (dialog == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return dialog->End(result) ? TRUE : FALSE;
}
