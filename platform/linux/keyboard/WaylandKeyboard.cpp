// The Wayland seat's keyboard: the keymap's layout and the keys held at focus.

#include "platform/linux/keyboard/WaylandKeyboard.h"

#include "platform/linux/keyboard/KeyboardLayout.h"
#include "platform/linux/keyboard/VirtualKeys.h"

#include <QGuiApplication>
#include <qpa/qplatformnativeinterface.h>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace platform {
namespace {

template <class T, void (*Free)(T*)>
struct Unref {
    void operator()(T* object) const { Free(object); }
};
using ContextPtr = std::unique_ptr<xkb_context, Unref<xkb_context, xkb_context_unref>>;
using KeymapPtr = std::unique_ptr<xkb_keymap, Unref<xkb_keymap, xkb_keymap_unref>>;

// A second wl_keyboard of the toolkit's seat, on the toolkit's connection:
// the compositor sends it the same keymap, focus and modifiers as the
// toolkit's own, and the toolkit's dispatch calls it on the main thread.
class SeatKeyboard {
public:
    SeatKeyboard(wl_keyboard* seatKeyboard, std::function<void()> onFocusIn)
        : keyboard(seatKeyboard), context(xkb_context_new(XKB_CONTEXT_NO_FLAGS)), focusIn(std::move(onFocusIn))
    {
        down.reserve(32);  // so that a key press does not allocate
        wl_keyboard_add_listener(keyboard, &Listener, this);
    }
    ~SeatKeyboard()
    {
        if (wl_keyboard_get_version(keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION)
            wl_keyboard_release(keyboard);
        else
            wl_keyboard_destroy(keyboard);
    }
    SeatKeyboard(const SeatKeyboard&) = delete;
    SeatKeyboard& operator=(const SeatKeyboard&) = delete;

    std::vector<std::pair<std::uint32_t, std::uint32_t>> KeysDown() const
    {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> keys;
        for (const std::uint32_t evdev : down) {
            const std::uint32_t keycode = evdev + 8;
            const xkb_keysym_t* syms = nullptr;
            const int count =
                keymap != nullptr ? xkb_keymap_key_get_syms_by_level(keymap.get(), keycode, group, 0, &syms) : 0;
            keys.emplace_back(keycode, count > 0 ? syms[0] : 0);
        }
        return keys;
    }

private:
    void OnKeymap(std::uint32_t format, int fd, std::uint32_t size)
    {
        if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0 && context != nullptr) {
            void* text = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (text != MAP_FAILED) {
                // The text ends with a zero byte within size.
                KeymapPtr compiled(xkb_keymap_new_from_buffer(context.get(), static_cast<const char*>(text),
                                                              ::strnlen(static_cast<const char*>(text), size),
                                                              XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
                ::munmap(text, size);
                if (compiled != nullptr) {
                    keymap = std::move(compiled);
                    group = 0;
                    TakeLayout();
                }
            }
        }
        ::close(fd);
    }
    void OnEnter(const wl_array* keys)
    {
        down.assign(static_cast<const std::uint32_t*>(keys->data),
                    static_cast<const std::uint32_t*>(keys->data) + keys->size / sizeof(std::uint32_t));
        focusIn();
    }
    void OnLeave() { down.clear(); }
    void OnKey(std::uint32_t key, std::uint32_t state)
    {
        std::erase(down, key);
        if (state == WL_KEYBOARD_KEY_STATE_PRESSED)
            down.push_back(key);
    }
    void OnModifiers(std::uint32_t newGroup)
    {
        if (newGroup == group)
            return;
        group = newGroup;
        TakeLayout();
    }
    void TakeLayout()
    {
        const xkb_layout_index_t groups = xkb_keymap_num_layouts(keymap.get());
        if (groups == 0)
            return;
        group %= groups;
        SetKeyboardLayout(LayoutFromXkbGroupName(xkb_keymap_layout_get_name(keymap.get(), group)));
    }

    static const wl_keyboard_listener Listener;

    wl_keyboard* keyboard;
    ContextPtr context;
    KeymapPtr keymap;
    xkb_layout_index_t group = 0;
    std::vector<std::uint32_t> down;  // evdev codes
    std::function<void()> focusIn;
};

const wl_keyboard_listener SeatKeyboard::Listener = {
    .keymap = [](void* data, wl_keyboard*, std::uint32_t format, int fd,
                 std::uint32_t size) { static_cast<SeatKeyboard*>(data)->OnKeymap(format, fd, size); },
    .enter = [](void* data, wl_keyboard*, std::uint32_t, wl_surface*,
                wl_array* keys) { static_cast<SeatKeyboard*>(data)->OnEnter(keys); },
    .leave = [](void* data, wl_keyboard*, std::uint32_t, wl_surface*) { static_cast<SeatKeyboard*>(data)->OnLeave(); },
    .key = [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key,
              std::uint32_t state) { static_cast<SeatKeyboard*>(data)->OnKey(key, state); },
    .modifiers = [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                    std::uint32_t group) { static_cast<SeatKeyboard*>(data)->OnModifiers(group); },
    .repeat_info = [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},
};

// Ended before the toolkit closes its connection (EndWaylandKeyboard); never
// at exit, when the connection may be gone already.
SeatKeyboard* seatKeyboard = nullptr;
std::function<void()> onFocusIn;
void* toolkitKeyboard = nullptr;  // the toolkit's wl_keyboard when ours was made

// Makes our keyboard anew when the toolkit's has changed: a seat that lost
// its keyboard (the last one unplugged) leaves the old one without events.
// False when ours is new (it knows nothing yet) or there is none.
bool FollowToolkitKeyboard()
{
    QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
    auto* seat = static_cast<wl_seat*>(native->nativeResourceForIntegration("wl_seat"));
    void* keyboard = native->nativeResourceForIntegration("wl_keyboard");
    if (seatKeyboard != nullptr && keyboard == toolkitKeyboard)
        return true;
    delete seatKeyboard;
    seatKeyboard = nullptr;
    toolkitKeyboard = keyboard;
    // Only a seat that has a keyboard may be asked for one: the toolkit has
    // its own then.
    if (seat != nullptr && keyboard != nullptr)
        seatKeyboard = new SeatKeyboard(wl_seat_get_keyboard(seat), onFocusIn);
    return false;
}

}  // namespace

void WatchWaylandKeyboard(std::function<void()> focusIn)
{
    if (!QGuiApplication::platformName().startsWith(QStringLiteral("wayland")))
        return;
    if (QGuiApplication::platformNativeInterface() == nullptr)
        return;
    onFocusIn = std::move(focusIn);
    FollowToolkitKeyboard();
}

void EndWaylandKeyboard()
{
    delete seatKeyboard;
    seatKeyboard = nullptr;
    toolkitKeyboard = nullptr;
    onFocusIn = nullptr;
}

std::optional<std::vector<std::pair<std::uint32_t, std::uint32_t>>> WaylandKeysDown()
{
    if (!onFocusIn || !FollowToolkitKeyboard())
        return std::nullopt;
    return seatKeyboard->KeysDown();
}

}  // namespace platform
