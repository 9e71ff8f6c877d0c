// The main dialog template run by test dialog procedures: dialog manager,
// keyboard hook, trackbars, status bar, subclassing, closing, dialog units,
// icons and message boxes. Keys are injected at the window as the X11
// platform delivers them, with X keycodes and keysyms.

#include "platform/linux/ui/Dialog.h"
#include "platform/linux/ui/Icon.h"
#include "platform/linux/keyboard/KeyState.h"
#include "platform/linux/ui/MessageBoxLog.h"
#include "platform/linux/ui/Resources.h"
#include "platform/Text.h"
#include "platform/linux/ui/UserInterface.h"
#include "platform/Win32.h"
#include "resources/Resources.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QSlider>
#include <QTimer>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// ---- A recording dialog procedure --------------------------------------------

struct Event {
    enum Source { DialogProc, Hook, Slider } source;
    UINT message;  // for the hook: the hook code
    WPARAM wParam;
    LPARAM lParam;
};

struct Recorder {
    std::vector<Event> events;
    std::function<void(HWND)> script;
    bool closed = false;
    WORD menuCharAnswer = MNC_CLOSE;
    bool answerMenuChar = true;
    // GetKeyState of these keys as the hook saw it, per hook call.
    std::vector<std::vector<bool>> keysAtHook;
    std::vector<int> watchedKeys;
    WNDPROC previousSliderProc = nullptr;

    int Count(Event::Source source, UINT message) const
    {
        int n = 0;
        for (const Event& e : events)
            n += e.source == source && e.message == message;
        return n;
    }
    std::vector<Event> Of(Event::Source source, UINT message) const
    {
        std::vector<Event> out;
        for (const Event& e : events)
            if (e.source == source && e.message == message)
                out.push_back(e);
        return out;
    }
};

Recorder* recorder = nullptr;

INT_PTR CALLBACK TestDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    recorder->events.push_back({Event::DialogProc, message, wParam, lParam});
    switch (message) {
    case WM_INITDIALOG:
        QTimer::singleShot(0, [dialog] {
            if (recorder->script)
                recorder->script(dialog);
            if (!recorder->closed)
                EndDialog(dialog, 99);
        });
        return TRUE;
    case WM_CLOSE:
        recorder->closed = true;
        EndDialog(dialog, 42);
        return TRUE;
    case WM_MENUCHAR:
        if (!recorder->answerMenuChar)
            return FALSE;
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, MAKELONG(0, recorder->menuCharAnswer));
        return TRUE;
    default:
        return FALSE;
    }
}

LRESULT CALLBACK TestHook(int code, WPARAM wParam, LPARAM lParam)
{
    recorder->events.push_back({Event::Hook, static_cast<UINT>(code), wParam, lParam});
    std::vector<bool> state;
    for (int key : recorder->watchedKeys)
        state.push_back((GetKeyState(key) & 0x80) != 0);
    recorder->keysAtHook.push_back(state);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Put in front of a slider's own procedure: records what reaches the slider and
// wants typed characters, as the program's slider procedure does.
LRESULT CALLBACK RecordingSliderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_GETDLGCODE) {
        const MSG* examined = reinterpret_cast<const MSG*>(lParam);
        recorder->events.push_back({Event::Slider, message, examined != nullptr ? examined->message : 0, lParam});
        LRESULT code = CallWindowProcA(previous, window, message, wParam, lParam);
        if (examined != nullptr && examined->message == WM_CHAR)
            code |= DLGC_WANTCHARS;
        return code;
    }
    recorder->events.push_back({Event::Slider, message, wParam, lParam});
    return CallWindowProcA(previous, window, message, wParam, lParam);
}

void Subclass(HWND slider)
{
    LONG_PTR previous = SetWindowLongPtrA(slider, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingSliderProc));
    SetWindowLongPtrA(slider, GWLP_USERDATA, previous);
}

HINSTANCE Instance()
{
    return platform::ModuleHandle(platform::ExecutableResources());
}

class UserDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        recorder = &record;
        platform::ResetKeyState();
        SetThreadUILanguage(0x0411);  // the dialog as it was first made; both languages are laid out below
    }
    void TearDown() override { recorder = nullptr; }

    INT_PTR Run(std::function<void(HWND)> script, LPARAM param = 0)
    {
        record.script = std::move(script);
        return DialogBoxParamA(Instance(), MAKEINTRESOURCEA(IDD_MAIN), nullptr, TestDialogProc, param);
    }

    Recorder record;
};

// ---- Keys as the X11 platform hands them on ----------------------------------

struct XKey {
    int qtKey;
    quint32 keycode;  // X keycode: Linux key code + 8
    quint32 keysym;
    const char* text;
};

constexpr XKey A{Qt::Key_A, 38, 'a', "a"};
constexpr XKey X{Qt::Key_X, 53, 'x', "x"};
constexpr XKey ShiftL{Qt::Key_Shift, 50, 0xFFE1, ""};
constexpr XKey ShiftR{Qt::Key_Shift, 62, 0xFFE2, ""};
constexpr XKey AltL{Qt::Key_Alt, 64, 0xFFE9, ""};
constexpr XKey Tab{Qt::Key_Tab, 23, 0xFF09, "\t"};
constexpr XKey Backtab{Qt::Key_Backtab, 23, 0xFE20, ""};
constexpr XKey Escape{Qt::Key_Escape, 9, 0xFF1B, "\x1b"};
constexpr XKey Return{Qt::Key_Return, 36, 0xFF0D, "\r"};
constexpr XKey Left{Qt::Key_Left, 113, 0xFF51, ""};
constexpr XKey Right{Qt::Key_Right, 114, 0xFF53, ""};
constexpr XKey Home{Qt::Key_Home, 110, 0xFF50, ""};
constexpr XKey End{Qt::Key_End, 115, 0xFF57, ""};
constexpr XKey PageUp{Qt::Key_PageUp, 112, 0xFF55, ""};

QWindow* WindowOf(HWND dialog)
{
    return platform::Window::From(dialog)->Widget()->windowHandle();
}

void Send(HWND dialog, QEvent::Type type, const XKey& key, bool autoRepeat = false)
{
    QWindowSystemInterface::setSynchronousWindowSystemEvents(true);
    QWindowSystemInterface::handleExtendedKeyEvent(WindowOf(dialog), type, key.qtKey, Qt::NoModifier, key.keycode,
                                                   key.keysym, 0, QString::fromUtf8(key.text), autoRepeat);
}
void Press(HWND dialog, const XKey& key, bool autoRepeat = false)
{
    Send(dialog, QEvent::KeyPress, key, autoRepeat);
}
void Release(HWND dialog, const XKey& key)
{
    Send(dialog, QEvent::KeyRelease, key);
}
void Tap(HWND dialog, const XKey& key)
{
    Press(dialog, key);
    Release(dialog, key);
}

HWND Focus(HWND dialog)
{
    platform::Window* focus = platform::Window::From(dialog)->AsDialog()->Focus();
    return focus != nullptr ? focus->Handle() : nullptr;
}

QSlider* SliderView(HWND slider)
{
    return static_cast<QSlider*>(platform::Window::From(slider)->Widget());
}

// ---- Creation, focus and closing -------------------------------------------

TEST_F(UserDialog, InitDialogArrivesOnceWithItsParameterAndTheFirstTabStop)
{
    HWND strength = nullptr, speed = nullptr, dialogSeen = nullptr;
    LONG_PTR instance = 0;
    INT_PTR result = Run(
        [&](HWND dialog) {
            dialogSeen = dialog;
            strength = GetDlgItem(dialog, IDC_STRENGTH);
            speed = GetDlgItem(dialog, IDC_SPEED);
            instance = GetWindowLongPtrA(dialog, GWLP_HINSTANCE);
            EXPECT_EQ(Focus(dialog), strength);
            DWORD process = 0;
            EXPECT_NE(GetWindowThreadProcessId(dialog, &process), 0u);
            EXPECT_EQ(process, static_cast<DWORD>(getpid()));
        },
        0x1234);
    EXPECT_EQ(result, 99);
    ASSERT_EQ(record.Count(Event::DialogProc, WM_INITDIALOG), 1);
    const Event init = record.Of(Event::DialogProc, WM_INITDIALOG)[0];
    EXPECT_EQ(init.lParam, 0x1234);
    EXPECT_EQ(reinterpret_cast<HWND>(init.wParam), strength);
    EXPECT_NE(strength, nullptr);
    EXPECT_NE(speed, nullptr);
    EXPECT_NE(strength, speed);
    EXPECT_EQ(reinterpret_cast<HINSTANCE>(instance), Instance());
    // The windows are gone with the dialog.
    EXPECT_EQ(GetDlgItem(dialogSeen, IDC_STRENGTH), nullptr);
    EXPECT_EQ(SendMessageA(strength, TBM_GETPOS, 0, 0), 0);
}

TEST_F(UserDialog, TheCloseButtonSendsWmCloseAndEndDialogEndsTheDialog)
{
    // As the window manager sends it...
    EXPECT_EQ(
        Run([](HWND dialog) {
            QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::SynchronousDelivery>(WindowOf(dialog));
        }),
        42);
    EXPECT_EQ(record.Count(Event::DialogProc, WM_CLOSE), 1);
    // ... and as the toolkit's own close().
    record.events.clear();
    record.closed = false;
    EXPECT_EQ(Run([](HWND dialog) { platform::Window::From(dialog)->Widget()->close(); }), 42);
    EXPECT_EQ(record.Count(Event::DialogProc, WM_CLOSE), 1);
}

TEST_F(UserDialog, EscapeAndEnterAreCommandsThatLeaveTheDialogOpen)
{
    bool visibleAfterKeys = false;
    INT_PTR result = Run([&](HWND dialog) {
        Tap(dialog, Escape);
        Tap(dialog, Return);
        visibleAfterKeys = platform::Window::From(dialog)->Widget()->isVisible();
    });
    EXPECT_EQ(result, 99);
    EXPECT_TRUE(visibleAfterKeys);
    const auto commands = record.Of(Event::DialogProc, WM_COMMAND);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].wParam, MAKEWPARAM(IDCANCEL, BN_CLICKED));
    EXPECT_EQ(commands[1].wParam, MAKEWPARAM(IDOK, BN_CLICKED));
    EXPECT_EQ(record.Count(Event::DialogProc, WM_CLOSE), 0);
}

// The main dialog in each language: its client size and controls follow the
// dialog units of its font, and what a screen reader announces for each
// slider is its label.
struct DialogLanguage {
    const char* name;
    LANGID language;
    int pixelSize;       // of the font's points at 96 dots per inch
    const char* family;  // null: the toolkit's own
    const char* strengthLabel;
    const char* speedLabel;
};

std::ostream& operator<<(std::ostream& out, const DialogLanguage& c)
{
    return out << c.name;
}

class MainDialogInItsLanguage : public UserDialog, public testing::WithParamInterface<DialogLanguage> {
protected:
    void SetUp() override
    {
        UserDialog::SetUp();
        SetThreadUILanguage(GetParam().language);
    }
};

TEST_P(MainDialogInItsLanguage, IsLaidOutByItsFontAndNamesEachSliderAfterItsLabel)
{
    const DialogLanguage& c = GetParam();
    QSize client, strength;
    QPoint strengthAt;
    QFont font;
    QString strengthName, speedName;
    Run([&](HWND dialog) {
        QWidget* widget = platform::Window::From(dialog)->Widget();
        client = widget->size();
        font = widget->font();
        QWidget* slider = platform::Window::From(GetDlgItem(dialog, IDC_STRENGTH))->Widget();
        strength = slider->size();
        strengthAt = slider->pos();
        const auto nameOf = [dialog](int id) {
            QAccessibleInterface* view = QAccessible::queryAccessibleInterface(SliderView(GetDlgItem(dialog, id)));
            return view != nullptr ? view->text(QAccessible::Name) : QString();
        };
        strengthName = nameOf(IDC_STRENGTH);
        speedName = nameOf(IDC_SPEED);
    });
    // Windows' base units: the mean width of the 52 Latin letters (rounded)
    // and the font height; x units are quarters, y units eighths of them.
    QFontMetrics metrics(font);
    const int bx =
        (metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) /
        2;
    const int by = metrics.height();
    auto x = [bx](int units) { return (units * bx + 2) / 4; };
    auto y = [by](int units) { return (units * by + 4) / 8; };
    EXPECT_EQ(client, QSize(x(231), y(105)));
    EXPECT_EQ(strengthAt, QPoint(x(6), y(18)));
    EXPECT_EQ(strength, QSize(x(217), y(20)));
    EXPECT_EQ(font.pixelSize(), c.pixelSize);
    EXPECT_EQ(QFontInfo(font).family(),
              c.family != nullptr ? QString::fromUtf8(c.family) : QFontInfo(QApplication::font()).family());
    EXPECT_EQ(strengthName.toStdString(), c.strengthLabel);
    EXPECT_EQ(speedName.toStdString(), c.speedLabel);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, MainDialogInItsLanguage,
    testing::Values(DialogLanguage{"Japanese", 0x0411, 12, "IPAPGothic", u8"ストロークの強さ:", u8"ストロークの速さ:"},
                    DialogLanguage{"English", 0x0409, 11, nullptr, "Strength of a stroke:", "Time between strings:"}),
    [](const testing::TestParamInfo<DialogLanguage>& info) { return info.param.name; });

// ---- Trackbars -------------------------------------------------------------

TEST_F(UserDialog, TrackbarMessagesSetAndClampWithoutNotifying)
{
    Run([](HWND dialog) {
        HWND strength = GetDlgItem(dialog, IDC_STRENGTH);
        HWND speed = GetDlgItem(dialog, IDC_SPEED);
        SendMessageA(strength, TBM_SETRANGE, TRUE, MAKELPARAM(0, 128));
        SendMessageA(speed, TBM_SETRANGE, TRUE, MAKELPARAM(0, 750));
        SendMessageA(strength, TBM_SETTICFREQ, 12, 0);
        SendMessageA(speed, TBM_SETTICFREQ, 75, 0);
        struct Case {
            HWND slider;
            LPARAM set;
            LRESULT got;
        } cases[] = {
            {strength, 64, 64}, {strength, 200, 128}, {strength, -5, 0}, {strength, 128, 128},
            {speed, 25, 25},    {speed, 5000, 750},   {speed, 0, 0},
        };
        for (const Case& c : cases) {
            SendMessageA(c.slider, TBM_SETPOS, TRUE, c.set);
            EXPECT_EQ(SendMessageA(c.slider, TBM_GETPOS, 0, 0), c.got) << c.set;
            EXPECT_EQ(SliderView(c.slider)->value(), c.got);
        }
        EXPECT_EQ(SendMessageA(speed, TBM_GETRANGEMAX, 0, 0), 750);
        EXPECT_EQ(SliderView(strength)->maximum(), 128);
        EXPECT_EQ(SliderView(strength)->tickInterval(), 12);
        EXPECT_EQ(SliderView(strength)->tickPosition(), QSlider::TicksBelow);
        // A narrower range pulls the position in.
        SendMessageA(speed, TBM_SETPOS, TRUE, 700);
        SendMessageA(speed, TBM_SETRANGE, TRUE, MAKELPARAM(0, 500));
        EXPECT_EQ(SendMessageA(speed, TBM_GETPOS, 0, 0), 500);
    });
    EXPECT_EQ(record.Count(Event::DialogProc, WM_HSCROLL), 0);
}

TEST_F(UserDialog, NavigationKeysMoveTheFocusedSliderAndNotifyTheDialog)
{
    HWND strength = nullptr;
    std::vector<LRESULT> positions;
    Run([&](HWND dialog) {
        strength = GetDlgItem(dialog, IDC_STRENGTH);
        SendMessageA(strength, TBM_SETRANGE, TRUE, MAKELPARAM(0, 128));
        SendMessageA(strength, TBM_SETPOS, TRUE, 64);
        for (const XKey* key : {&Right, &PageUp, &Home, &Left, &End}) {
            Tap(dialog, *key);
            positions.push_back(SendMessageA(strength, TBM_GETPOS, 0, 0));
        }
    });
    // Page size is a fifth of the range; Left at the minimum does nothing.
    EXPECT_EQ(positions, (std::vector<LRESULT>{65, 40, 0, 0, 128}));
    const auto scrolls = record.Of(Event::DialogProc, WM_HSCROLL);
    const std::vector<WPARAM> codes = {TB_LINEDOWN, TB_ENDTRACK, TB_PAGEUP, TB_ENDTRACK, TB_TOP,
                                       TB_ENDTRACK, TB_ENDTRACK, TB_BOTTOM, TB_ENDTRACK};
    ASSERT_EQ(scrolls.size(), codes.size());
    for (std::size_t i = 0; i < codes.size(); ++i) {
        EXPECT_EQ(scrolls[i].wParam, codes[i]) << i;
        EXPECT_EQ(reinterpret_cast<HWND>(scrolls[i].lParam), strength);
    }
}

TEST_F(UserDialog, DraggingTheThumbReportsTrackAndPosition)
{
    Run([](HWND dialog) {
        HWND speed = GetDlgItem(dialog, IDC_SPEED);
        SendMessageA(speed, TBM_SETRANGE, TRUE, MAKELPARAM(0, 750));
        QSlider* view = SliderView(speed);
        view->setSliderDown(true);
        view->triggerAction(QAbstractSlider::SliderMove);  // no move yet: position unchanged
        view->setSliderPosition(300);
        EXPECT_EQ(SendMessageA(speed, TBM_GETPOS, 0, 0), 300);
    });
    const auto scrolls = record.Of(Event::DialogProc, WM_HSCROLL);
    ASSERT_FALSE(scrolls.empty());
    EXPECT_EQ(scrolls.back().wParam, MAKEWPARAM(TB_THUMBTRACK, 300));
}

// ---- Keyboard ---------------------------------------------------------------

TEST_F(UserDialog, TheHookSeesEachKeyOnceWithWindowsKeyDataBeforeTheSlider)
{
    Run([](HWND dialog) {
        ASSERT_NE(SetWindowsHookExA(WH_KEYBOARD, TestHook, nullptr, GetWindowThreadProcessId(dialog, nullptr)),
                  nullptr);
        Subclass(GetDlgItem(dialog, IDC_STRENGTH));
        Press(dialog, A);
        Press(dialog, A, true);
        Release(dialog, A);
    });
    const auto hooks = record.Of(Event::Hook, HC_ACTION);
    ASSERT_EQ(hooks.size(), 3u);
    const LPARAM expected[] = {0x001E0001, 0x401E0001, static_cast<LPARAM>(0xC01E0001u)};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(hooks[i].wParam, WPARAM{'A'});
        EXPECT_EQ(hooks[i].lParam, expected[i]) << std::hex << hooks[i].lParam;
    }
    // Order: hook, then the slider gets the key-down.
    std::vector<Event::Source> order;
    for (const Event& e : record.events)
        if ((e.source == Event::Hook) ||
            (e.source == Event::Slider && (e.message == WM_KEYDOWN || e.message == WM_KEYUP)))
            order.push_back(e.source);
    EXPECT_EQ(order, (std::vector<Event::Source>{Event::Hook, Event::Slider, Event::Hook, Event::Slider, Event::Hook,
                                                 Event::Slider}));
}

TEST_F(UserDialog, AltLetterIsASystemKeyAnsweredByWmMenuChar)
{
    bool menuAfter = true;
    Run([&](HWND dialog) {
        SetWindowsHookExA(WH_KEYBOARD, TestHook, nullptr, 0);
        Press(dialog, AltL);
        Press(dialog, A);
        Release(dialog, A);
        Release(dialog, AltL);
        menuAfter = platform::Window::From(dialog)->AsDialog()->InMenuMode();
    });
    const auto hooks = record.Of(Event::Hook, HC_ACTION);
    ASSERT_EQ(hooks.size(), 4u);
    EXPECT_EQ(hooks[0].wParam, WPARAM{VK_MENU});
    EXPECT_EQ(hooks[0].lParam, 0x20380001);
    EXPECT_EQ(hooks[1].lParam, 0x201E0001);
    EXPECT_EQ(hooks[2].lParam, static_cast<LPARAM>(0xE01E0001u));
    EXPECT_EQ(hooks[3].lParam, static_cast<LPARAM>(0xC0380001u));
    const auto menuChars = record.Of(Event::DialogProc, WM_MENUCHAR);
    ASSERT_EQ(menuChars.size(), 1u);
    EXPECT_EQ(LOWORD(menuChars[0].wParam), 'a');
    EXPECT_EQ(HIWORD(menuChars[0].wParam), MF_SYSMENU);
    EXPECT_FALSE(menuAfter);
}

TEST_F(UserDialog, AnUnansweredMenuCharLeavesTheMenuToTakeTheNextKey)
{
    record.answerMenuChar = false;
    bool menuAfterAltA = false, menuAfterNextKey = true;
    Run([&](HWND dialog) {
        Subclass(GetDlgItem(dialog, IDC_STRENGTH));
        Press(dialog, AltL);
        Tap(dialog, A);
        Release(dialog, AltL);
        menuAfterAltA = platform::Window::From(dialog)->AsDialog()->InMenuMode();
        recorder->events.clear();
        Tap(dialog, Right);
        menuAfterNextKey = platform::Window::From(dialog)->AsDialog()->InMenuMode();
    });
    EXPECT_TRUE(menuAfterAltA);
    EXPECT_FALSE(menuAfterNextKey);
    EXPECT_EQ(record.Count(Event::Slider, WM_KEYDOWN), 0);  // the menu took it
}

TEST_F(UserDialog, KeyStateFollowsPressesAndReleasesIncludingTab)
{
    record.watchedKeys = {VK_SHIFT, VK_LSHIFT, VK_RSHIFT, VK_TAB};
    HWND strength = nullptr, speed = nullptr;
    std::vector<HWND> focus;
    Run([&](HWND dialog) {
        strength = GetDlgItem(dialog, IDC_STRENGTH);
        speed = GetDlgItem(dialog, IDC_SPEED);
        SetWindowsHookExA(WH_KEYBOARD, TestHook, nullptr, 0);
        Press(dialog, ShiftL);    // hook 0
        Press(dialog, ShiftR);    // 1
        Release(dialog, ShiftL);  // 2
        Release(dialog, ShiftR);  // 3
        Press(dialog, Tab);       // 4: to the speed slider
        focus.push_back(Focus(dialog));
        Release(dialog, Tab);  // 5
        Press(dialog, Tab);    // 6: round to the strength slider
        focus.push_back(Focus(dialog));
        Release(dialog, Tab);    // 7
        Press(dialog, ShiftL);   // 8
        Press(dialog, Backtab);  // 9: Shift+Tab, back to the speed slider
        focus.push_back(Focus(dialog));
        Release(dialog, Backtab);
        Release(dialog, ShiftL);
        EXPECT_EQ(GetKeyState(VK_SHIFT) & 0x80, 0);
        EXPECT_EQ(GetKeyState(VK_TAB) & 0x80, 0);
    });
    using S = std::vector<bool>;  // Shift, left, right, Tab
    ASSERT_GE(record.keysAtHook.size(), 10u);
    EXPECT_EQ(record.keysAtHook[0], (S{true, true, false, false}));
    EXPECT_EQ(record.keysAtHook[1], (S{true, true, true, false}));
    EXPECT_EQ(record.keysAtHook[2], (S{true, false, true, false}));
    EXPECT_EQ(record.keysAtHook[3], (S{false, false, false, false}));
    EXPECT_EQ(record.keysAtHook[4], (S{false, false, false, true}));
    EXPECT_EQ(record.keysAtHook[5], (S{false, false, false, false}));
    EXPECT_EQ(record.keysAtHook[9], (S{true, true, false, true}));
    const auto hooks = record.Of(Event::Hook, HC_ACTION);
    EXPECT_EQ(hooks[0].wParam, WPARAM{VK_SHIFT});
    EXPECT_EQ(hooks[1].lParam, 0x00360001);  // right Shift: scan code 0x36
    EXPECT_EQ(hooks[4].wParam, WPARAM{VK_TAB});
    EXPECT_EQ(focus, (std::vector<HWND>{speed, strength, speed}));
}

TEST_F(UserDialog, TypedCharactersAreOfferedToTheSubclassedSlider)
{
    Run([](HWND dialog) {
        HWND strength = GetDlgItem(dialog, IDC_STRENGTH);
        const LONG_PTR builtIn = GetWindowLongPtrA(strength, GWLP_WNDPROC);
        Subclass(strength);
        EXPECT_EQ(GetWindowLongPtrA(strength, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&RecordingSliderProc));
        EXPECT_EQ(GetWindowLongPtrA(strength, GWLP_USERDATA), builtIn);
        SendMessageA(strength, TBM_SETPOS, TRUE, 7);
        EXPECT_EQ(SendMessageA(strength, TBM_GETPOS, 0, 0), 7);  // passed on to the trackbar
        Tap(dialog, X);
    });
    // The dialog manager asks about the key-down and the character; the
    // character then goes to the slider, not to mnemonics.
    const auto asked = record.Of(Event::Slider, WM_GETDLGCODE);
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].wParam, WPARAM{WM_KEYDOWN});
    EXPECT_EQ(asked[1].wParam, WPARAM{WM_CHAR});
    const auto chars = record.Of(Event::Slider, WM_CHAR);
    ASSERT_EQ(chars.size(), 1u);
    EXPECT_EQ(chars[0].wParam, WPARAM{'x'});
    EXPECT_EQ(record.Count(Event::Slider, TBM_GETPOS), 1);
}

// ---- Status bar and icon ------------------------------------------------------

TEST_F(UserDialog, SimpleStatusBarShowsItsTextAlongTheBottom)
{
    const std::string ready = platform::Utf8ToCp932(u8"ﾚﾃﾞｨ");
    ASSERT_EQ(ready, std::string({'\xDA', '\xC3', '\xDE', '\xA8'}));
    Run([&](HWND dialog) {
        InitCommonControls();
        HWND bar = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | CCS_BOTTOM, 0, 0, 0, 0, dialog,
                                   reinterpret_cast<HMENU>(IDC_STATUSBAR), Instance(), nullptr);
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(GetDlgItem(dialog, IDC_STATUSBAR), bar);
        SendMessageA(bar, SB_SIMPLE, TRUE, 0);
        EXPECT_EQ(SendMessageA(bar, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(ready.c_str())), TRUE);
        char text[16] = {};
        EXPECT_EQ(LOWORD(SendMessageA(bar, SB_GETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(text))), 4);
        EXPECT_EQ(std::string(text), ready);
        QWidget* view = platform::Window::From(bar)->Widget();
        QWidget* client = platform::Window::From(dialog)->Widget();
        EXPECT_EQ(view->findChild<QLabel*>()->text(), QString::fromUtf8(u8"ﾚﾃﾞｨ"));
        EXPECT_EQ(view->geometry().bottom(), client->height() - 1);
        EXPECT_EQ(view->width(), client->width());
        EXPECT_TRUE(view->isVisible());
        EXPECT_EQ(CreateWindowExA(0, "button", "", WS_CHILD, 0, 0, 1, 1, dialog, nullptr, Instance(), nullptr),
                  nullptr);
    });
}

TEST_F(UserDialog, TheProgramIconHasTwoDrawnSizesAndBecomesTheWindowIcon)
{
    HICON icon = LoadIconA(Instance(), MAKEINTRESOURCEA(IDI_MAIN));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(LoadIconA(Instance(), MAKEINTRESOURCEA(IDI_MAIN)), icon);  // shared
    EXPECT_EQ(LoadIconA(Instance(), MAKEINTRESOURCEA(IDD_MAIN)), nullptr);
    const std::vector<QImage>* images = platform::IconImages(icon);
    ASSERT_NE(images, nullptr);
    ASSERT_EQ(images->size(), 2u);
    const QImage& small = (*images)[0];
    const QImage& big = (*images)[1];
    EXPECT_EQ(small.size(), QSize(16, 16));
    EXPECT_EQ(big.size(), QSize(32, 32));
    struct Pixel {
        const QImage* image;
        int x, y;
        QRgb rgba;
    } pixels[] = {
        {&big, 0, 0, qRgba(0, 0, 0, 0)},         // transparent corner
        {&big, 15, 5, qRgb(0x80, 0x00, 0x00)},   // maroon neck
        {&big, 15, 6, qRgb(0xC0, 0xC0, 0xC0)},   // silver fret
        {&big, 8, 24, qRgb(0xFF, 0xFF, 0x00)},   // yellow body
        {&big, 12, 27, qRgb(0x00, 0x00, 0x00)},  // bridge
        {&big, 24, 24, qRgb(0x80, 0x80, 0x00)},  // shaded edge
        {&small, 5, 1, qRgb(0xC0, 0xC0, 0xC0)},  // tuning peg
        {&small, 4, 12, qRgb(0xFF, 0xFF, 0x00)}, {&small, 15, 15, qRgba(0, 0, 0, 0)},
    };
    for (const Pixel& p : pixels)
        EXPECT_EQ(p.image->pixel(p.x, p.y), p.rgba) << p.image->width() << " " << p.x << "," << p.y;

    QList<QSize> sizes;
    Run([&](HWND dialog) {
        EXPECT_EQ(SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon)), 0);
        SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        sizes = platform::Window::From(dialog)->Widget()->windowIcon().availableSizes();
    });
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
}

TEST_F(UserDialog, MessageBoxIsAModalBoxWhileADisplayIsThere)
{
    platform::StartUserInterface();
    QString shownText, shownTitle;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shownText = box->text();
        shownTitle = box->windowTitle();
        box->button(QMessageBox::No)->click();
    });
    const std::string text = platform::Utf8ToCp932(u8"二重起動はできません");
    EXPECT_EQ(MessageBoxA(nullptr, text.c_str(), "Strumkey", MB_YESNO), IDNO);
    EXPECT_EQ(shownText, QString::fromUtf8(u8"二重起動はできません"));
    EXPECT_EQ(shownTitle, QStringLiteral("Strumkey"));
    // Without a caption: the system's own, in the user's language.
    const char* const oldLocale = std::getenv("LC_ALL");
    const std::string saved = oldLocale != nullptr ? oldLocale : "";
    for (const auto& [locale, title] : {std::pair{"en_US.UTF-8", "Error"}, {"ja_JP.UTF-8", u8"エラー"}}) {
        setenv("LC_ALL", locale, 1);
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            shownTitle = box->windowTitle();
            box->button(QMessageBox::Ok)->click();
        });
        EXPECT_EQ(MessageBoxA(nullptr, "x", nullptr, MB_OK), IDOK);
        EXPECT_EQ(shownTitle.toStdString(), title);
    }
    if (oldLocale != nullptr)
        setenv("LC_ALL", saved.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

}  // namespace
