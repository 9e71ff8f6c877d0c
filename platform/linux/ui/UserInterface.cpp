// Starting the toolkit: the display check, the application object, fonts and
// the key filter with the watchers of the keyboard layout.

#include "platform/linux/ui/UserInterface.h"
#include "platform/Text.h"

#include "platform/linux/ui/KeyboardFilter.h"
#include "platform/linux/keyboard/WaylandKeyboard.h"
#include "platform/linux/keyboard/XKeyboard.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QLibraryInfo>

#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace platform {
namespace {

int savedArgc = 0;
std::vector<char*> savedArgv;
char defaultName[] = "strumkey-platform";

QApplication* application = nullptr;
QString desktopFileName;  // the program's id, for the desktop to find its entry and icon
bool failed = false;
std::atomic<unsigned long> uiThread{0};

unsigned long ThisThread()
{
    return static_cast<unsigned long>(::syscall(SYS_gettid));
}

bool XServerAnswers()
{
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
        return false;
    xcb_connection_t* connection = xcb_connect(display, nullptr);
    bool ok = connection != nullptr && xcb_connection_has_error(connection) == 0;
    if (connection != nullptr)
        xcb_disconnect(connection);
    return ok;
}

bool WaylandPluginInstalled()
{
    QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"));
    return !platforms.entryList({QStringLiteral("libqwayland*")}, QDir::Files).isEmpty();
}

bool CompositorAnswers()
{
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (name == nullptr || *name == '\0')
        return false;
    std::string path = name;
    if (path[0] != '/') {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (runtime == nullptr)
            return false;
        path = std::string(runtime) + "/" + path;
    }
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok && WaylandPluginInstalled();
}

void SubstituteFonts()
{
    // The Windows Japanese fonts that templates name, by their installed
    // counterparts; the first one present is used.
    const QStringList proportional = {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")};
    const QStringList fixed = {QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP")};
    QFont::insertSubstitutions(QString::fromUtf8(u8"ＭＳ Ｐゴシック"), proportional);
    QFont::insertSubstitutions(QStringLiteral("MS PGothic"), proportional);
    QFont::insertSubstitutions(QString::fromUtf8(u8"ＭＳ ゴシック"), fixed);
    QFont::insertSubstitutions(QStringLiteral("MS Gothic"), fixed);
    QFont::insertSubstitutions(QString::fromUtf8(u8"ＭＳ Ｐ明朝"), {QStringLiteral("IPAPMincho")});
    // The system's dialog font, of dialogs in other languages: the toolkit's own.
    QFont::insertSubstitution(QStringLiteral("MS Shell Dlg"), QApplication::font().family());
}

}  // namespace

void SetApplicationArguments(int argc, char** argv)
{
    savedArgv.assign(argv, argv + argc);
    savedArgc = argc;
}

bool DisplayReachable()
{
    const char* requested = std::getenv("QT_QPA_PLATFORM");
    if (requested != nullptr && *requested != '\0') {
        std::string name(requested, std::strcspn(requested, ":;"));
        if (name == "xcb")
            return XServerAnswers();
        if (name.rfind("wayland", 0) == 0)
            return CompositorAnswers();
        return true;  // offscreen, minimal, vnc: no display server needed
    }
    if (XServerAnswers())
        return true;
    if (CompositorAnswers()) {
        ::setenv("QT_QPA_PLATFORM", "wayland", 1);
        return true;
    }
    return false;
}

bool StartUserInterface()
{
    if (application != nullptr)
        return true;
    if (!DisplayReachable())
        return false;
    if (savedArgv.empty()) {
        savedArgv.push_back(defaultName);
        savedArgc = 1;
    }
    savedArgv.push_back(nullptr);  // argv[argc] is null, as the toolkit expects
    uiThread = ThisThread();
    application = new QApplication(savedArgc, savedArgv.data());
    // Dialogs run their own loops; a closed window must not end them.
    QApplication::setQuitOnLastWindowClosed(false);
    if (!desktopFileName.isEmpty())
        QGuiApplication::setDesktopFileName(desktopFileName);
    SubstituteFonts();
    auto* keyboard = new KeyboardFilter(application);
    application->installEventFilter(keyboard);
    // Each does nothing on the other system.
    WatchXKeyboard([keyboard] { keyboard->ReadKeysAnew(); });
    WatchWaylandKeyboard([keyboard] { keyboard->ReadKeysAnew(); });
    return true;
}

void NoteUserInterfaceFailed()
{
    failed = true;
}

bool UserInterfaceFailed()
{
    return failed;
}

void EndUserInterface()
{
    EndWaylandKeyboard();
    delete application;
    application = nullptr;
}

unsigned long UserInterfaceThread()
{
    unsigned long thread = uiThread;
    return thread != 0 ? thread : ThisThread();
}

}  // namespace platform

HRESULT SetCurrentProcessExplicitAppUserModelID(PCWSTR appId)
{
    if (appId == nullptr || appId[0] == L'\0')
        return E_INVALIDARG;
    platform::desktopFileName = QString::fromWCharArray(appId);
    if (platform::application != nullptr)
        QGuiApplication::setDesktopFileName(platform::desktopFileName);
    return S_OK;
}
