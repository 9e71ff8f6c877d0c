// wayland_keys: types on a Wayland compositor the way a real keyboard with a
// real XKB layout does, through the compositor's virtual keyboard
// (zwp_virtual_keyboard_v1). Keys go by place: each one is the evdev key code
// that carries the asked keysym on the layout's first level, with the keymap
// libxkbcommon compiles for the layout, and the modifier state the keys leave.
//
//   wayland_keys [layout <name>] <command>...
//
//   layout <name>        compile rules "evdev", model "pc105", layout <name>
//                        (us, de, fr, ru, gr, jp...) and send it as the
//                        keyboard's keymap; a later one switches the layout
//                        under the running program. Without one before the
//                        first key, the layout is "us".
//   keydown <keysym>     press the key whose first level is <keysym>
//   keyup <keysym>       release it
//   key <keysym>         press and release it
//   sleep <seconds>      wait, fractions allowed
//   group <n>            switch to the layout list's group n (0 is the
//                        first), as a desktop's layout switcher does
//   signal <path>        create the file <path>, to tell a test how far it is
//   await <path>         wait until the file <path> exists, without limit
//
// Keysyms are named as xkb_keysym_from_name knows them (c, Cyrillic_es,
// Greek_psi, semicolon, dead_acute, space, 1...), and shift, ctrl and alt
// stand for Shift_L, Control_L and Alt_L as with xdotool. A keysym no key of
// the layout carries on its first level is an error: no key is remapped.
//
// The whole command line is checked, and its keymaps compiled, before the
// first request, so a mistyped sequence types nothing. Each command is
// followed by a round trip, so that the compositor has handled it before the
// next. The compositor (WAYLAND_DISPLAY, which may be a socket's absolute path)
// must offer zwp_virtual_keyboard_manager_v1; wlroots' does, sway's included.
//
// A virtual keyboard lives as long as its process: at the end the keyboard is
// destroyed and nothing is released first, and a key left down does not stay
// down for a later run. A sequence that holds a key while others are typed is
// one run of this program.
//
// Exits with 0, or with 1 and a message on stderr.

#include <sys/mman.h>
#include <strings.h>
#include <unistd.h>

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// The virtual keyboard protocol, written out as wayland-scanner would: the
// requests' names, signatures and the interfaces of their object arguments.
// Neither interface has events.

const wl_interface* no_types[] = {nullptr, nullptr, nullptr, nullptr};

const wl_message keyboard_requests[] = {
    {"keymap", "uhu", no_types},
    {"key", "uuu", no_types},
    {"modifiers", "uuuu", no_types},
    {"destroy", "", no_types},
};
const wl_interface keyboard_interface = {"zwp_virtual_keyboard_v1", 1, 4, keyboard_requests, 0, nullptr};

const wl_interface* create_types[] = {&wl_seat_interface, &keyboard_interface};

const wl_message manager_requests[] = {
    {"create_virtual_keyboard", "on", create_types},
};
const wl_interface manager_interface = {"zwp_virtual_keyboard_manager_v1", 1, 1, manager_requests, 0, nullptr};

namespace KeyboardRequest {
constexpr uint32_t Keymap = 0, Key = 1, Modifiers = 2, Destroy = 3;
}
constexpr uint32_t KeymapFormatXkbV1 = 1;  // wl_keyboard's keymap format

[[noreturn]] void Fail(const std::string& message)
{
    throw std::runtime_error(message);
}

// Owners of what the libraries hand out.

template <auto Free>
struct Deleter {
    template <typename T>
    void operator()(T* pointer) const
    {
        Free(pointer);
    }
};
void DestroyProxy(void* proxy)
{
    wl_proxy_destroy(static_cast<wl_proxy*>(proxy));
}
void DestroyKeyboard(wl_proxy* keyboard)
{
    wl_proxy_marshal_flags(keyboard, KeyboardRequest::Destroy, nullptr, wl_proxy_get_version(keyboard),
                           WL_MARSHAL_FLAG_DESTROY);
}
void FreeText(char* text)
{
    std::free(text);
}

using Display = std::unique_ptr<wl_display, Deleter<wl_display_disconnect>>;
using Registry = std::unique_ptr<wl_registry, Deleter<DestroyProxy>>;
using Proxy = std::unique_ptr<wl_proxy, Deleter<DestroyProxy>>;
using Keyboard = std::unique_ptr<wl_proxy, Deleter<DestroyKeyboard>>;
using Context = std::unique_ptr<xkb_context, Deleter<xkb_context_unref>>;
using Keymap = std::unique_ptr<xkb_keymap, Deleter<xkb_keymap_unref>>;
using State = std::unique_ptr<xkb_state, Deleter<xkb_state_unref>>;
using Text = std::unique_ptr<char, Deleter<FreeText>>;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor()
    {
        if (fd >= 0)
            close(fd);
    }
    int get() const { return fd; }

private:
    int fd;
};

// The command line, checked and resolved to key codes.

struct Step {
    enum class Kind { Layout, Press, Release, Sleep, Group, Signal, Await } kind;
    std::string layout;     // Layout; the file of Signal and Await
    Keymap keymap;          // Layout
    xkb_keycode_t key = 0;  // Press, Release: an XKB key code (evdev + 8)
    double seconds = 0;     // Sleep; the group of Group
};

Keymap CompileLayout(xkb_context* context, const std::string& layout)
{
    const xkb_rule_names names = {"evdev", "pc105", layout.c_str(), nullptr, nullptr};
    Keymap keymap(xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        Fail("no keymap for layout \"" + layout + "\"");
    return keymap;
}

xkb_keysym_t KeysymByName(const std::string& name)
{
    static const struct {
        const char* name;
        const char* keysym;
    } xdotool_names[] = {{"shift", "Shift_L"}, {"ctrl", "Control_L"}, {"alt", "Alt_L"}};
    std::string keysym_name = name;
    for (const auto& alias : xdotool_names)
        if (strcasecmp(name.c_str(), alias.name) == 0)
            keysym_name = alias.keysym;
    xkb_keysym_t keysym = xkb_keysym_from_name(keysym_name.c_str(), XKB_KEYSYM_NO_FLAGS);
    if (keysym == XKB_KEY_NoSymbol)
        keysym = xkb_keysym_from_name(keysym_name.c_str(), XKB_KEYSYM_CASE_INSENSITIVE);
    if (keysym == XKB_KEY_NoSymbol)
        Fail("unknown keysym \"" + name + "\"");
    return keysym;
}

// The lowest key code whose first level in the first group is the keysym.
xkb_keycode_t KeyOf(xkb_keymap* keymap, const std::string& layout, const std::string& name)
{
    struct Search {
        xkb_keysym_t keysym;
        xkb_keycode_t found = XKB_KEYCODE_INVALID;
    } search{KeysymByName(name)};
    xkb_keymap_key_for_each(
        keymap,
        [](xkb_keymap* keymap, xkb_keycode_t key, void* data) {
            auto& search = *static_cast<Search*>(data);
            if (search.found != XKB_KEYCODE_INVALID)
                return;
            const xkb_keysym_t* syms = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(keymap, key, 0, 0, &syms);
            for (int i = 0; i < count; ++i)
                if (syms[i] == search.keysym)
                    search.found = key;
        },
        &search);
    if (search.found == XKB_KEYCODE_INVALID)
        Fail("layout \"" + layout + "\" has no key with " + name + " on its first level");
    return search.found;
}

std::vector<Step> ReadCommands(xkb_context* context, int argc, char** argv)
{
    if (argc < 2)
        Fail(
            "usage: wayland_keys [layout <name>] "
            "(keydown|keyup|key <keysym> | sleep <seconds> | group <n> | signal|await <path>)...");
    std::vector<Step> steps;
    std::optional<size_t> layout;  // the last layout step
    const auto add_layout = [&](const std::string& name) {
        steps.push_back({Step::Kind::Layout, name, CompileLayout(context, name)});
        layout = steps.size() - 1;
    };
    for (int i = 1; i < argc; i += 2) {
        const std::string command = argv[i];
        if (i + 1 >= argc)
            Fail("\"" + command + "\" without its argument");
        const std::string argument = argv[i + 1];
        if (command == "layout") {
            add_layout(argument);
        } else if (command == "keydown" || command == "keyup" || command == "key") {
            if (!layout)
                add_layout("us");
            const Step& current = steps[*layout];
            const xkb_keycode_t key = KeyOf(current.keymap.get(), current.layout, argument);
            if (command != "keyup")
                steps.push_back({Step::Kind::Press, {}, {}, key});
            if (command != "keydown")
                steps.push_back({Step::Kind::Release, {}, {}, key});
        } else if (command == "sleep") {
            char* end = nullptr;
            const double seconds = std::strtod(argument.c_str(), &end);
            if (end == argument.c_str() || *end != '\0' || !(seconds >= 0 && seconds < 1e6))
                Fail("\"" + argument + "\" is not a number of seconds");
            steps.push_back({Step::Kind::Sleep, {}, {}, 0, seconds});
        } else if (command == "group") {
            if (argument.size() != 1 || argument[0] < '0' || argument[0] > '3')
                Fail("no group \"" + argument + "\"");
            steps.push_back({Step::Kind::Group, {}, {}, 0, static_cast<double>(argument[0] - '0')});
        } else if (command == "signal") {
            steps.push_back({Step::Kind::Signal, argument, {}});
        } else if (command == "await") {
            steps.push_back({Step::Kind::Await, argument, {}});
        } else {
            Fail("unknown command \"" + command + "\"");
        }
    }
    return steps;
}

// The compositor.

class VirtualKeyboard {
public:
    VirtualKeyboard() : display(wl_display_connect(nullptr))
    {
        if (!display) {
            const std::string reason = std::strerror(errno);
            const char* name = std::getenv("WAYLAND_DISPLAY");
            Fail(std::string("no Wayland compositor at ") + (name != nullptr && *name != '\0' ? name : "wayland-0") +
                 ": " + reason);
        }
        Registry registry(wl_display_get_registry(display.get()));
        static const wl_registry_listener listener = {
            [](void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t) {
                auto& self = *static_cast<VirtualKeyboard*>(data);
                if (!self.seat && std::strcmp(interface, wl_seat_interface.name) == 0)
                    self.seat.reset(static_cast<wl_proxy*>(wl_registry_bind(registry, name, &wl_seat_interface, 1)));
                if (!self.manager && std::strcmp(interface, manager_interface.name) == 0)
                    self.manager.reset(static_cast<wl_proxy*>(wl_registry_bind(registry, name, &manager_interface, 1)));
            },
            [](void*, wl_registry*, uint32_t) {},
        };
        wl_registry_add_listener(registry.get(), &listener, this);
        RoundTrip();
        if (!seat)
            Fail("the compositor has no wl_seat");
        if (!manager)
            Fail("the compositor has no zwp_virtual_keyboard_manager_v1");
        keyboard.reset(wl_proxy_marshal_flags(manager.get(), 0, &keyboard_interface,
                                              wl_proxy_get_version(manager.get()), 0, seat.get(), nullptr));
        if (!keyboard)
            Fail("could not make a virtual keyboard");
        RoundTrip();
    }

    // Sends the keymap.
    void SetKeymap(xkb_keymap* keymap)
    {
        Text text(xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1));
        if (!text)
            Fail("could not write the keymap out");
        const size_t size = std::strlen(text.get()) + 1;
        const FileDescriptor file(memfd_create("wayland-keys-keymap", MFD_CLOEXEC));
        if (file.get() < 0)
            Fail(std::string("memfd_create: ") + std::strerror(errno));
        for (size_t written = 0; written < size;) {
            const ssize_t count = write(file.get(), text.get() + written, size - written);
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                Fail(std::string("writing the keymap: ") + std::strerror(errno));
            written += count;
        }
        // The request carries a duplicate of the descriptor.
        Request(KeyboardRequest::Keymap, KeymapFormatXkbV1, file.get(), static_cast<uint32_t>(size));
        state.reset(xkb_state_new(keymap));
        if (!state)
            Fail("could not make a keyboard state");
        SendModifiers();
    }

    void Key(xkb_keycode_t key, bool down)
    {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const auto time_ms = static_cast<uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
        const auto keyState =
            static_cast<uint32_t>(down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
        Request(KeyboardRequest::Key, time_ms, key - 8, keyState);
        // The compositor takes the modifiers from the client, not from its keys.
        xkb_state_update_key(state.get(), key, down ? XKB_KEY_DOWN : XKB_KEY_UP);
        SendModifiers();
    }

    void LockGroup(xkb_layout_index_t group)
    {
        xkb_state_update_mask(state.get(), xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_DEPRESSED),
                              xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_LATCHED),
                              xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_LOCKED), 0, 0, group);
        SendModifiers();
    }

    void RoundTrip()
    {
        if (wl_display_roundtrip(display.get()) < 0)
            Fail(std::string("lost the compositor: ") + std::strerror(wl_display_get_error(display.get())));
    }

    // Destroys the keyboard, and waits for the compositor to have done so.
    void Close()
    {
        keyboard.reset();
        RoundTrip();
    }

private:
    template <typename... Arguments>
    void Request(uint32_t request, Arguments... arguments)  // a KeyboardRequest
    {
        wl_proxy_marshal_flags(keyboard.get(), request, nullptr, wl_proxy_get_version(keyboard.get()), 0, arguments...);
    }

    void SendModifiers()
    {
        Request(KeyboardRequest::Modifiers, xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_DEPRESSED),
                xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_LATCHED),
                xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_LOCKED),
                xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE));
    }

    // Declared first, so that it is disconnected last.
    Display display;
    Proxy seat;
    Proxy manager;
    Keyboard keyboard;
    State state;
};

}  // namespace

int main(int argc, char** argv)
{
    try {
        const Context context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
        if (!context)
            Fail("could not make an XKB context");
        const std::vector<Step> steps = ReadCommands(context.get(), argc, argv);
        VirtualKeyboard keyboard;
        for (const Step& step : steps) {
            switch (step.kind) {
            case Step::Kind::Layout:
                keyboard.SetKeymap(step.keymap.get());
                break;
            case Step::Kind::Press:
                keyboard.Key(step.key, true);
                break;
            case Step::Kind::Release:
                keyboard.Key(step.key, false);
                break;
            case Step::Kind::Sleep:
                std::this_thread::sleep_for(std::chrono::duration<double>(step.seconds));
                break;
            case Step::Kind::Group:
                keyboard.LockGroup(static_cast<xkb_layout_index_t>(step.seconds));
                break;
            case Step::Kind::Signal:
                if (!std::ofstream(step.layout))
                    Fail("cannot create " + step.layout);
                break;
            case Step::Kind::Await:
                while (access(step.layout.c_str(), F_OK) != 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                break;
            }
            keyboard.RoundTrip();
        }
        keyboard.Close();
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "wayland_keys: %s\n", error.what());
        return 1;
    }
}
