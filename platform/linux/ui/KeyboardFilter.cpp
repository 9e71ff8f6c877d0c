// user32: keyboard hooks and key messages from the toolkit's key events.

#include "platform/linux/ui/KeyboardFilter.h"

#include "platform/Check.h"
#include "platform/linux/ui/Dialog.h"
#include "platform/linux/keyboard/KeyState.h"
#include "platform/Text.h"
#include "platform/linux/ui/UserInterface.h"
#include "platform/linux/keyboard/WaylandKeyboard.h"
#include "platform/linux/keyboard/XKeyboard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWindow>

#include <sys/syscall.h>
#include <unistd.h>

#include <memory>
#include <utility>
#include <vector>

namespace platform {
namespace {

struct Hook {
    HOOKPROC procedure;
    bool installed;
};

// The hooks in order of installation; the newest is called first. A removed
// hook stays in the list, marked, so that positions never move while a chain
// is being called. Main thread only.
struct HookChain {
    std::vector<std::unique_ptr<Hook>> hooks;
    std::ptrdiff_t current = -1;  // the hook being called, -1 outside a chain
};

HookChain& Chain()
{
    static HookChain* chain = new HookChain;
    return *chain;
}

// Calls the first installed hook below position from (exclusive), newest first.
LRESULT CallBelow(std::ptrdiff_t from, int code, WPARAM wParam, LPARAM lParam)
{
    HookChain& chain = Chain();
    for (std::ptrdiff_t i = from - 1; i >= 0; --i) {
        Hook& hook = *chain.hooks[static_cast<std::size_t>(i)];
        if (!hook.installed)
            continue;
        const std::ptrdiff_t saved = chain.current;
        chain.current = i;
        const LRESULT result = hook.procedure(code, wParam, lParam);
        chain.current = saved;
        return result;
    }
    return 0;
}

bool IsDown(int virtualKey)
{
    return (GetKeyState(virtualKey) & 0x80) != 0;
}

bool OnUserInterfaceThread()
{
    return static_cast<unsigned long>(::syscall(SYS_gettid)) == UserInterfaceThread();
}

}  // namespace

LRESULT CallKeyboardHooks(WPARAM virtualKey, LPARAM keyData)
{
    return CallBelow(static_cast<std::ptrdiff_t>(Chain().hooks.size()), HC_ACTION, virtualKey, keyData);
}

LPARAM KeyData(const WindowsKey& key, bool altDown, bool wasDown, bool release)
{
    DWORD data = 1;  // repeat count
    data |= static_cast<DWORD>(key.scanCode & 0xFF) << 16;
    if (key.extended)
        data |= 1u << 24;
    if (altDown)
        data |= 1u << 29;
    if (wasDown || release)
        data |= 1u << 30;
    if (release)
        data |= 1u << 31;
    return static_cast<LPARAM>(data);
}

bool KeyboardFilter::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        // Each key comes here once for its window and again for the widgets
        // it is passed on to; only the first counts.
        if (!watched->isWindowType())
            return false;
        return OnKey(static_cast<QWindow*>(watched), static_cast<QKeyEvent*>(event));
    case QEvent::ApplicationStateChange:
        // Keys pressed or released while another application has the
        // keyboard never reach us: Windows reads the key state anew on
        // activation, and so do we.
        if (watched == qApp) {
            if (QGuiApplication::applicationState() == Qt::ApplicationActive)
                ReadKeysAnew();
            else
                ReleaseAll();
        }
        return false;
    default:
        return false;
    }
}

void KeyboardFilter::ReleaseAll()
{
    ResetKeyState();  // also the keys read from the server, which down lacks
    down.clear();
}

void KeyboardFilter::ReadKeysAnew()
{
    ReleaseAll();
    TakeKeysDown();
}

void KeyboardFilter::TakeKeysDown()
{
    auto keys = XKeysDown();
    if (!keys)
        keys = WaylandKeysDown();
    if (keys) {
        for (const auto& [keycode, keysym] : *keys) {
            const WindowsKey key = WindowsKeyFromX(CurrentKeyboardLayout(), keysym, keycode);
            if (key.virtualKey == 0)
                continue;
            // Into the key table only: the press of a key pressed just
            // after the focus came, already down when the server answered,
            // must still count as a first press.
            SetKeyDown(key.virtualKey, true);
        }
        return;
    }
    // Elsewhere the toolkit knows the modifiers only.
    const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
    const std::pair<Qt::KeyboardModifier, int> modifiers[] = {
        {Qt::ShiftModifier, VK_LSHIFT}, {Qt::ControlModifier, VK_LCONTROL}, {Qt::AltModifier, VK_LMENU}};
    for (const auto& [modifier, virtualKey] : modifiers) {
        if (!(held & modifier))
            continue;
        SetKeyDown(virtualKey, true);
    }
}

bool KeyboardFilter::OnKey(QWindow* window, QKeyEvent* event)
{
    const bool press = event->type() == QEvent::KeyPress;
    const bool ours = Dialog::OfWindow(window) != nullptr;
    // X11 repeats a held key as release and press pairs; Windows repeats only
    // the press.
    if (!press && event->isAutoRepeat())
        return ours;

    WindowsKey key;
    std::uint32_t id;
    if (event->nativeScanCode() != 0 || event->nativeVirtualKey() != 0) {
        key = WindowsKeyFromX(CurrentKeyboardLayout(), event->nativeVirtualKey(), event->nativeScanCode());
        id = event->nativeScanCode() != 0 ? event->nativeScanCode() : 0x40000000u | event->nativeVirtualKey();
    } else {
        key.virtualKey = VirtualKeyFromQtKey(event->key(), (event->modifiers() & Qt::KeypadModifier) != 0);
        id = 0x80000000u | static_cast<std::uint32_t>(key.virtualKey);
    }
    bool wasDown = false;
    auto known = down.find(id);
    if (known != down.end()) {
        key = known->second;  // the codes of the press, whatever this event says
        wasDown = true;
        if (!press)
            down.erase(known);
    } else if (press) {
        down.emplace(id, key);
    }
    if (press && event->isAutoRepeat())
        wasDown = true;
    if (key.virtualKey == 0)
        return ours;

    // The table first, so that the hook reads the state this key leaves.
    SetKeyDown(key.virtualKey, press);
    const bool altDown = IsDown(VK_MENU);
    const bool isAlt = key.virtualKey == VK_LMENU || key.virtualKey == VK_RMENU;
    const bool system = (altDown || isAlt || key.virtualKey == VK_F10) && !IsDown(VK_CONTROL);
    const LPARAM data = KeyData(key, altDown, wasDown, !press);
    const int generic = GenericModifier(key.virtualKey);
    const auto virtualKey = static_cast<WPARAM>(generic != 0 ? generic : key.virtualKey);

    const LRESULT swallowed = CallKeyboardHooks(virtualKey, data);
    Dialog* dialog = Dialog::OfWindow(window);  // again: the hook may have ended it
    if (dialog == nullptr)
        return ours || swallowed != 0;
    if (swallowed == 0) {
        const UINT message = press ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
        dialog->ProcessKey(message, virtualKey, data, press ? Utf8ToCp932(event->text().toStdString()) : std::string());
    }
    return true;
}

}  // namespace platform

HHOOK SetWindowsHookExA(int idHook, HOOKPROC procedure, HINSTANCE, DWORD threadId)
{
    using namespace platform;
    STRUMKEY_CHECK(OnMainThread());
    if (idHook != WH_KEYBOARD) {
        SetLastError(ERROR_INVALID_HOOK_FILTER);
        return nullptr;
    }
    if (procedure == nullptr || (threadId != 0 && threadId != UserInterfaceThread()) || !OnUserInterfaceThread()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HookChain& chain = Chain();
    chain.hooks.push_back(std::make_unique<Hook>(Hook{procedure, true}));
    return reinterpret_cast<HHOOK>(chain.hooks.back().get());
}

BOOL UnhookWindowsHookEx(HHOOK handle)
{
    for (auto& hook : platform::Chain().hooks) {
        if (reinterpret_cast<HHOOK>(hook.get()) == handle && hook->installed) {
            hook->installed = false;
            return TRUE;
        }
    }
    SetLastError(ERROR_INVALID_HOOK_HANDLE);
    return FALSE;
}

LRESULT CallNextHookEx(HHOOK, int code, WPARAM wParam, LPARAM lParam)
{
    // As on Windows, the chain's position is known without the handle.
    platform::HookChain& chain = platform::Chain();
    if (chain.current < 0)
        return 0;
    return platform::CallBelow(chain.current, code, wParam, lParam);
}
