// The whole program in one process, driven by a script: the real WinMain
// (single-instance check, start-up, the main dialog, shutdown) with keys
// injected at the dialog's window the way the X11 platform hands them to the
// toolkit. It prints what the script asks about to standard output.
//
//   scripted_player <script file>
//
// Script lines (blank lines and lines starting with '#' are skipped):
//   press KEY | release KEY | tap KEY | repeat KEY (an auto-repeated press)
//   wait MS        lets the program run for MS milliseconds
//   settle [N [F]] lets the program run until at most N strings (default 0)
//                  are still due, then until the audio driver has written two
//                  more buffers: whatever was started is in the output file;
//                  and F frames more (the length of a long sample)
//   hold-timers    keeps the strings that are due from starting (the timer
//                  thread waits) until release-timers
//   mark NAME      prints "mark NAME <frames>": the audio frames written so far
//   stamp          prints "stamp <ns>": now on the monotonic clock
//   starve MS      keeps the audio thread from mixing for MS milliseconds (the
//                  mixer's lock held), as a machine too busy to run it would
//   late           prints "late <n>": the mixes the program saw come late
//   resting        prints "resting yes" while the device rests (nothing has
//                  sounded for a while), else "resting no"
//   realtime       prints "realtime <n>": how many threads run at a real-time
//                  priority
//   memory         prints "memory <B>": the process's resident memory
//   focus          prints "focus strength|speed|none"
//   menu           prints "menu 0|1": whether the window menu is active
//   open           prints "open 0|1": whether the dialog is still showing
//   sliders        prints "sliders <strength> <speed> <strength max> <speed max>"
//   status         prints "status <the status bar's text>" (cp932 bytes)
//   hold           waits until standard input ends
//   close          the window's close button
// Message boxes are printed as "messagebox <caption>|<text>" (cp932 bytes)
// instead of being shown; at the end it prints "exit <WinMain's result>".

#include "platform/linux/ui/Dialog.h"
#include "platform/linux/ui/MessageBoxLog.h"
#include "platform/linux/ui/Resources.h"
#include "platform/linux/ui/UserInterface.h"
#include "platform/Win32.h"
#include "resources/Resources.h"
#include "sound/Placement.h"
#include "stroke/StrokeScheduler.h"
#include "tests/support/TimerHold.h"

#include <SDL.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSlider>
#include <QTimer>
#include <QWindow>
#include <qpa/qwindowsysteminterface.h>

#include <sched.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A key as X11 describes it: Qt key, X keycode (evdev + 8), keysym, text.
struct XKey {
    int qtKey;
    quint32 keycode;
    quint32 keysym;
    const char* text;
};

const std::map<std::string, XKey>& Keys()
{
    static const std::map<std::string, XKey> keys = {
        {"a", {Qt::Key_A, 38, 'a', "a"}},
        {"b", {Qt::Key_B, 56, 'b', "b"}},
        {"c", {Qt::Key_C, 54, 'c', "c"}},
        {"d", {Qt::Key_D, 40, 'd', "d"}},
        {"e", {Qt::Key_E, 26, 'e', "e"}},
        {"f", {Qt::Key_F, 41, 'f', "f"}},
        {"g", {Qt::Key_G, 42, 'g', "g"}},
        {"h", {Qt::Key_H, 43, 'h', "h"}},
        {"x", {Qt::Key_X, 53, 'x', "x"}},
        {"1", {Qt::Key_1, 10, '1', "1"}},
        {"2", {Qt::Key_2, 11, '2', "2"}},
        {"3", {Qt::Key_3, 12, '3', "3"}},
        {"4", {Qt::Key_4, 13, '4', "4"}},
        {"5", {Qt::Key_5, 14, '5', "5"}},
        {"6", {Qt::Key_6, 15, '6', "6"}},
        {"7", {Qt::Key_7, 16, '7', "7"}},
        {"8", {Qt::Key_8, 17, '8', "8"}},
        {"9", {Qt::Key_9, 18, '9', "9"}},
        {"0", {Qt::Key_0, 19, '0', "0"}},
        {"kp5", {Qt::Key_5, 84, 0xFFB5, "5"}},
        {"kp0", {Qt::Key_0, 90, 0xFFB0, "0"}},
        {"kpadd", {Qt::Key_Plus, 86, 0xFFAB, "+"}},
        {"kpsubtract", {Qt::Key_Minus, 82, 0xFFAD, "-"}},
        {"equal", {Qt::Key_Equal, 21, '=', "="}},
        {"minus", {Qt::Key_Minus, 20, '-', "-"}},
        {"apostrophe", {Qt::Key_Apostrophe, 48, '\'', "'"}},
        {"semicolon", {Qt::Key_Semicolon, 47, ';', ";"}},
        {"space", {Qt::Key_Space, 65, ' ', " "}},
        {"shift", {Qt::Key_Shift, 50, 0xFFE1, ""}},
        {"rshift", {Qt::Key_Shift, 62, 0xFFE2, ""}},
        {"ctrl", {Qt::Key_Control, 37, 0xFFE3, ""}},
        {"rctrl", {Qt::Key_Control, 105, 0xFFE4, ""}},
        {"alt", {Qt::Key_Alt, 64, 0xFFE9, ""}},
        {"tab", {Qt::Key_Tab, 23, 0xFF09, "\t"}},
        {"escape", {Qt::Key_Escape, 9, 0xFF1B, "\x1b"}},
        {"return", {Qt::Key_Return, 36, 0xFF0D, "\r"}},
        {"left", {Qt::Key_Left, 113, 0xFF51, ""}},
        {"right", {Qt::Key_Right, 114, 0xFF53, ""}},
        {"up", {Qt::Key_Up, 111, 0xFF52, ""}},
        {"down", {Qt::Key_Down, 116, 0xFF54, ""}},
        {"home", {Qt::Key_Home, 110, 0xFF50, ""}},
        {"end", {Qt::Key_End, 115, 0xFF57, ""}},
        {"pageup", {Qt::Key_PageUp, 112, 0xFF55, ""}},
        {"pagedown", {Qt::Key_PageDown, 117, 0xFF56, ""}},
    };
    return keys;
}

std::vector<std::string> scriptLines;
Qt::KeyboardModifiers held;

void Print(const std::string& line)
{
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

platform::Dialog* TheDialog()
{
    for (QWindow* window : QGuiApplication::topLevelWindows())
        if (platform::Dialog* dialog = platform::Dialog::OfWindow(window))
            return dialog;
    return nullptr;
}

Qt::KeyboardModifier ModifierOf(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Shift:
        return Qt::ShiftModifier;
    case Qt::Key_Control:
        return Qt::ControlModifier;
    case Qt::Key_Alt:
        return Qt::AltModifier;
    default:
        return Qt::NoModifier;
    }
}

// What X reports for a key with the modifiers held: Shift gives the upper
// case letter (and Shift+Tab is ISO_Left_Tab), Ctrl a control character.
void SendKey(QEvent::Type type, XKey key, bool autoRepeat)
{
    platform::Dialog* dialog = TheDialog();
    if (dialog == nullptr) {
        Print("error no dialog");
        return;
    }
    std::string text = key.text;
    if (key.qtKey >= Qt::Key_A && key.qtKey <= Qt::Key_Z) {
        if (held & Qt::ShiftModifier) {
            key.keysym = static_cast<quint32>(key.keysym - 'a' + 'A');
            text = std::string(1, static_cast<char>(key.keysym));
        }
        if (held & Qt::ControlModifier)
            text = std::string(1, static_cast<char>(key.keysym & 0x1F));
    }
    if (key.qtKey == Qt::Key_Tab && (held & Qt::ShiftModifier)) {
        key.qtKey = Qt::Key_Backtab;
        key.keysym = 0xFE20;
        text.clear();
    }
    // Like X, the modifiers of a modifier key's own event are those before it.
    const Qt::KeyboardModifiers modifiers = held;
    if (type == QEvent::KeyPress)
        held |= ModifierOf(key.qtKey);
    else
        held &= ~Qt::KeyboardModifiers(ModifierOf(key.qtKey));
    QWindowSystemInterface::setSynchronousWindowSystemEvents(true);
    QWindowSystemInterface::handleExtendedKeyEvent(dialog->Widget()->windowHandle(), type, key.qtKey, modifiers,
                                                   key.keycode, key.keysym, 0, QString::fromStdString(text),
                                                   autoRepeat);
}

// The thread sleeps between events, as a program waiting for keys does:
// processEvents returns at once when none is pending, and a loop of it would
// spin, taking the core that the audio thread needs.
void Wait(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

long long FramesWritten()
{
    const char* file = std::getenv("SDL_DISKAUDIOFILE");
    struct stat info {};
    if (file == nullptr || stat(file, &info) != 0)
        return -1;
    return static_cast<long long>(info.st_size) / 4;
}

int StringsDue()
{
    int armed = 0;
    for (const NoteSlot& slot : TheNoteSlots.slots)
        armed += slot.timerId.load(std::memory_order_acquire) != 0 ? 1 : 0;
    return armed;
}

// Every wait here ends on what it waits for; a minute only stops a hang.
void Settle(int stringsDue, long moreFrames)
{
    QElapsedTimer clock;
    clock.start();
    const auto runUntil = [&clock](auto done) {
        while (!done()) {
            if (clock.elapsed() > 60000) {
                Print("error settle gave up after " + std::to_string(clock.elapsed()) + " ms");
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            ::usleep(2000);
        }
        return true;
    };
    if (!runUntil([stringsDue] { return StringsDue() <= stringsDue; }))
        return;
    // A sample started now sounds at the latest the output's lead after the
    // next buffer, and is written out (a note is shorter than a buffer) once
    // the buffer after it has been.
    const long long written = FramesWritten();
    const long long wanted = written + Mivo::Placement::LeadFrames() + 2 * Mivo::Placement::BufferFrames() + moreFrames;
    if (written >= 0)
        runUntil([wanted] { return FramesWritten() >= wanted; });
}

long ResidentKilobytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

int RealTimeThreads()
{
    int threads = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        const int policy = sched_getscheduler(std::atoi(task.path().filename().c_str()));
        threads += policy == SCHED_FIFO || policy == SCHED_RR ? 1 : 0;
    }
    return threads;
}

std::unique_ptr<TimerHold> timerHold;

QSlider* SliderView(platform::Dialog* dialog, int id)
{
    platform::Window* slider = dialog->Child(id);
    return slider != nullptr ? static_cast<QSlider*>(slider->Widget()) : nullptr;
}

void Run(const std::string& line)
{
    std::istringstream words(line);
    std::string command, argument;
    words >> command >> argument;
    if (command.empty() || command[0] == '#')
        return;
    const auto key = Keys().find(argument);
    platform::Dialog* dialog = TheDialog();
    if (command == "press" || command == "release" || command == "tap" || command == "repeat") {
        if (key == Keys().end()) {
            Print("error unknown key " + argument);
            return;
        }
        if (command != "release")
            SendKey(QEvent::KeyPress, key->second, command == "repeat");
        if (command == "release" || command == "tap")
            SendKey(QEvent::KeyRelease, key->second, false);
    } else if (command == "wait") {
        Wait(std::atoi(argument.c_str()));
    } else if (command == "settle") {
        long moreFrames = 0;
        words >> moreFrames;
        Settle(std::atoi(argument.c_str()), moreFrames);
    } else if (command == "hold-timers") {
        timerHold = std::make_unique<TimerHold>();
        if (!timerHold->Problem().empty())
            Print("error " + timerHold->Problem());
    } else if (command == "release-timers") {
        timerHold.reset();
    } else if (command == "mark") {
        Print("mark " + argument + " " + std::to_string(FramesWritten()));
    } else if (command == "stamp") {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        Print("stamp " + std::to_string(now.tv_sec * 1000000000LL + now.tv_nsec));
    } else if (command == "starve") {
        SDL_LockAudio();
        usleep(static_cast<useconds_t>(std::atoi(argument.c_str())) * 1000);
        SDL_UnlockAudio();
    } else if (command == "resting") {
        Print(std::string("resting ") + (Mivo::Placement::IsResting() ? "yes" : "no"));
    } else if (command == "late") {
        Print("late " + std::to_string(Mivo::Placement::LateMixes()));
    } else if (command == "realtime") {
        Print("realtime " + std::to_string(RealTimeThreads()));
    } else if (command == "memory") {
        Print("memory " + std::to_string(ResidentKilobytes()));
    } else if (command == "focus") {
        platform::Window* focus = dialog != nullptr ? dialog->Focus() : nullptr;
        const int id = focus != nullptr ? focus->Id() : 0;
        Print(std::string("focus ") + (id == IDC_STRENGTH ? "strength" : id == IDC_SPEED ? "speed" : "none"));
    } else if (command == "menu") {
        Print(std::string("menu ") + (dialog != nullptr && dialog->InMenuMode() ? "1" : "0"));
    } else if (command == "open") {
        Print(std::string("open ") + (dialog != nullptr && dialog->Widget()->isVisible() ? "1" : "0"));
    } else if (command == "sliders") {
        QSlider* strength = dialog != nullptr ? SliderView(dialog, IDC_STRENGTH) : nullptr;
        QSlider* speed = dialog != nullptr ? SliderView(dialog, IDC_SPEED) : nullptr;
        if (strength == nullptr || speed == nullptr) {
            Print("error no sliders");
            return;
        }
        Print("sliders " + std::to_string(strength->value()) + " " + std::to_string(speed->value()) + " " +
              std::to_string(strength->maximum()) + " " + std::to_string(speed->maximum()));
    } else if (command == "status") {
        HWND bar = dialog != nullptr ? GetDlgItem(dialog->Handle(), IDC_STATUSBAR) : nullptr;
        char text[256] = "";
        if (bar != nullptr)
            SendMessageA(bar, SB_GETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(text));
        Print(std::string("status ") + text);
    } else if (command == "hold") {
        std::string ignored;
        while (std::getline(std::cin, ignored)) {
        }
    } else if (command == "close") {
        if (dialog != nullptr)
            QWindowSystemInterface::handleCloseEvent<QWindowSystemInterface::SynchronousDelivery>(
                dialog->Widget()->windowHandle());
    } else {
        Print("error unknown command " + command);
    }
}

void RunScript()
{
    for (const std::string& line : scriptLines)
        Run(line);
    // The timer thread must be free before shutdown stops it.
    timerHold.reset();
    // A script that forgot to close would leave the dialog waiting for ever.
    platform::Dialog* dialog = TheDialog();
    if (dialog != nullptr && dialog->Widget()->isVisible()) {
        Print("error still open");
        dialog->End(0);
    }
}

void OnMessageBox(HWND, const char* text, const char* caption, UINT)
{
    Print(std::string("messagebox ") + (caption != nullptr ? caption : "(null)") + "|" + (text != nullptr ? text : ""));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <script>\n", argv[0]);
        return 2;
    }
    std::ifstream script(argv[1]);
    for (std::string line; std::getline(script, line);)
        scriptLines.push_back(line);

    platform::SetApplicationArguments(argc, argv);
    platform::SetMessageBoxObserver(OnMessageBox);
    if (!platform::StartUserInterface())
        return 2;
    // The first event loop to run is the dialog's own.
    QTimer::singleShot(0, RunScript);
    char commandLine[] = "";
    const int result =
        WinMain(platform::ModuleHandle(platform::ExecutableResources()), nullptr, commandLine, SW_SHOWNORMAL);
    Print("exit " + std::to_string(result));
    // The audio device stays open until the process ends: let it write a few
    // more buffers, so that the output ends with what shutdown left sounding.
    ::usleep(200 * 1000);
    platform::EndUserInterface();
    return 0;
}
