// The X server's keyboard: detectable auto-repeat, the layout, the keys down.

#include "platform/linux/keyboard/XKeyboard.h"

#include "platform/linux/keyboard/KeyboardLayout.h"
#include "platform/linux/keyboard/VirtualKeys.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>

#include <xcb/xcb.h>
// xcb's XKB header names a member "explicit".
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

namespace platform {
namespace {

// An xcb reply, freed with free() as xcb wants.
template <class Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <class Reply>
ReplyPtr<Reply> Own(Reply* reply)
{
    return ReplyPtr<Reply>(reply, &std::free);
}

xcb_connection_t* Connection()
{
    auto* x11 = qApp != nullptr ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_window_t Root(xcb_connection_t* connection)
{
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    return screens.rem != 0 ? screens.data->root : static_cast<xcb_window_t>(XCB_WINDOW_NONE);
}

xcb_atom_t RulesNamesAtom(xcb_connection_t* connection)
{
    const char name[] = "_XKB_RULES_NAMES";
    auto atom = Own(xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr));
    return atom != nullptr ? atom->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// The keyboard's active group: which entry of the layout list is in use.
unsigned ActiveGroup(xcb_connection_t* connection)
{
    auto state =
        Own(xcb_xkb_get_state_reply(connection, xcb_xkb_get_state(connection, XCB_XKB_ID_USE_CORE_KBD), nullptr));
    return state != nullptr ? state->group : 0;
}

// "_XKB_RULES_NAMES" on the root window: rules, model, layouts, variants and
// options, each terminated by a zero byte; the entry of the active group.
KeyboardLayout LayoutOfXServer(xcb_connection_t* connection, xcb_atom_t rulesNames)
{
    const xcb_window_t root = Root(connection);
    if (rulesNames == XCB_ATOM_NONE || root == XCB_WINDOW_NONE)
        return KeyboardLayout::Us;
    auto reply = Own(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, rulesNames, XCB_ATOM_STRING, 0, 1024), nullptr));
    if (reply == nullptr)
        return KeyboardLayout::Us;
    const char* value = static_cast<const char*>(xcb_get_property_value(reply.get()));
    const std::string names(value, static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
    // Skip the rules and the model to reach the layouts.
    std::size_t start = 0;
    for (int field = 0; field < 2 && start != std::string::npos; ++field) {
        start = names.find('\0', start);
        if (start != std::string::npos)
            ++start;
    }
    if (start == std::string::npos || start >= names.size())
        return KeyboardLayout::Us;
    return LayoutFromXkbLayouts(names.c_str() + start, ActiveGroup(connection));
}

// X repeats a held key as release and press pairs, which the toolkit tells
// from a real release only when the repeated press is already queued: on a
// busy machine most repeats look like new presses. With XKB's detectable
// auto-repeat the server sends the repeated presses alone, as Windows does,
// and the key stays down until it is really released.
bool AskForDetectableAutoRepeat(xcb_connection_t* connection)
{
    const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(connection, &xcb_xkb_id);
    if (xkb == nullptr || !xkb->present)
        return false;
    auto use = Own(xcb_xkb_use_extension_reply(
        connection, xcb_xkb_use_extension(connection, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr));
    if (use == nullptr || !use->supported)
        return false;
    constexpr std::uint32_t detectable = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
    auto flags = Own(xcb_xkb_per_client_flags_reply(
        connection, xcb_xkb_per_client_flags(connection, XCB_XKB_ID_USE_CORE_KBD, detectable, detectable, 0, 0, 0),
        nullptr));
    return flags != nullptr && (flags->value & detectable) != 0;
}

// Follows layout changes: a new keyboard description from the server (XKB
// new-keyboard and map notifications, which the toolkit has asked for on
// this connection), a switch to another group of the layout list (XKB state
// notifications), or new layout names on the root window, which tools such
// as setxkbmap write once the new map is in place. And the focus coming to
// one of the program's windows.
class KeyboardWatcher : public QAbstractNativeEventFilter {
public:
    KeyboardWatcher(xcb_connection_t* connection, xcb_atom_t rulesNames, std::function<void()> focusIn)
        : connection(connection), rulesNames(rulesNames), focusIn(std::move(focusIn))
    {
        const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(connection, &xcb_xkb_id);
        xkbEvent = xkb != nullptr && xkb->present ? xkb->first_event : -1;
        // Property changes of the root window, added to what this connection
        // already asks of it.
        const xcb_window_t root = Root(connection);
        auto attributes =
            Own(xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, root), nullptr));
        const std::uint32_t mask =
            (attributes != nullptr ? attributes->your_event_mask : 0) | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection);
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const int kind = event->response_type & 0x7F;
        bool changed = false;
        if (kind == XCB_FOCUS_IN) {
            // Not the focus moving for a grab (a menu, a window being moved).
            const auto* focus = reinterpret_cast<const xcb_focus_in_event_t*>(event);
            if (focus->mode == XCB_NOTIFY_MODE_NORMAL || focus->mode == XCB_NOTIFY_MODE_WHILE_GRABBED)
                focusIn();
        } else if (kind == XCB_PROPERTY_NOTIFY) {
            changed = reinterpret_cast<const xcb_property_notify_event_t*>(event)->atom == rulesNames;
        } else if (kind == xkbEvent) {
            const std::uint8_t xkbType = reinterpret_cast<const std::uint8_t*>(event)[1];
            if (xkbType == XCB_XKB_STATE_NOTIFY)
                changed = (reinterpret_cast<const xcb_xkb_state_notify_event_t*>(event)->changed &
                           XCB_XKB_STATE_PART_GROUP_STATE) != 0;
            else
                changed = xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbType == XCB_XKB_MAP_NOTIFY;
        }
        if (changed)
            SetKeyboardLayout(LayoutOfXServer(connection, rulesNames));
        return false;  // the toolkit sees every event as well
    }

private:
    xcb_connection_t* connection;
    xcb_atom_t rulesNames;
    std::function<void()> focusIn;
    int xkbEvent;
};

}  // namespace

void WatchXKeyboard(std::function<void()> focusIn)
{
    xcb_connection_t* connection = Connection();
    if (connection == nullptr)
        return;
    if (!AskForDetectableAutoRepeat(connection))
        std::fprintf(stderr, "strumkey: the X server cannot tell a held key from repeated presses\n");
    const xcb_atom_t rulesNames = RulesNamesAtom(connection);
    SetKeyboardLayout(LayoutOfXServer(connection, rulesNames));
    static KeyboardWatcher* watcher = nullptr;
    if (watcher == nullptr) {
        watcher = new KeyboardWatcher(connection, rulesNames, std::move(focusIn));
        qApp->installNativeEventFilter(watcher);
    }
}

std::optional<std::vector<std::pair<std::uint32_t, std::uint32_t>>> XKeysDown()
{
    xcb_connection_t* connection = Connection();
    if (connection == nullptr)
        return std::nullopt;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> down;
    auto keymap = Own(xcb_query_keymap_reply(connection, xcb_query_keymap(connection), nullptr));
    if (keymap == nullptr)
        return down;
    const xcb_setup_t* setup = xcb_get_setup(connection);
    for (unsigned keycode = setup->min_keycode; keycode <= setup->max_keycode; ++keycode) {
        if ((keymap->keys[keycode / 8] & (1u << (keycode % 8))) == 0)
            continue;
        auto mapping = Own(xcb_get_keyboard_mapping_reply(
            connection, xcb_get_keyboard_mapping(connection, static_cast<xcb_keycode_t>(keycode), 1), nullptr));
        const xcb_keysym_t* keysyms = mapping != nullptr ? xcb_get_keyboard_mapping_keysyms(mapping.get()) : nullptr;
        const bool any = mapping != nullptr && xcb_get_keyboard_mapping_keysyms_length(mapping.get()) > 0;
        down.emplace_back(keycode, any ? keysyms[0] : 0);
    }
    return down;
}

}  // namespace platform
