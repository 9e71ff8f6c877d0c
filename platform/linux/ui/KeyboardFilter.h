#pragma once
// The keyboard side of the user interface: an application-wide event filter
// that sees every key event once, at the top-level window it is sent to,
// before any widget. It keeps the key state table, calls the keyboard hooks
// with the Windows key data, and hands keys of the dialogs to their dialog
// manager. Internal to platform/.

#include "platform/linux/keyboard/VirtualKeys.h"
#include "platform/Win32.h"

#include <QObject>

#include <cstdint>
#include <unordered_map>

class QKeyEvent;
class QWindow;

namespace platform {

class KeyboardFilter : public QObject {
public:
    explicit KeyboardFilter(QObject* parent) : QObject(parent) {}

    bool eventFilter(QObject* watched, QEvent* event) override;

    // Forgets what it knew of the keys and reads the ones down now, as
    // Windows does when a window of the program gets the keyboard back.
    void ReadKeysAnew();

private:
    bool OnKey(QWindow* window, QKeyEvent* event);
    void ReleaseAll();
    // The keys that are down now, read from the system.
    void TakeKeysDown();

    // Keys that are down, by the native scan code of their press (or, for
    // events without one, by virtual-key code), so that a release gets the
    // codes of its press.
    std::unordered_map<std::uint32_t, WindowsKey> down;
};

// Calls the hook chain with a key: the newest hook first. The result of the
// chain; nonzero means the key is swallowed.
LRESULT CallKeyboardHooks(WPARAM virtualKey, LPARAM keyData);

// The key data bits of one key event.
LPARAM KeyData(const WindowsKey& key, bool altDown, bool wasDown, bool release);

}  // namespace platform
