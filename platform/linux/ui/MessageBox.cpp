// user32: message boxes. Without a display a box is one line on standard
// error, answered at once with OK.

#include "platform/Check.h"
#include "platform/linux/ui/MessageBoxLog.h"
#include "platform/Text.h"
#include "platform/linux/ui/UserInterface.h"
#include "platform/Win32.h"
#include "platform/linux/ui/Window.h"

#include <QMessageBox>

#include <atomic>
#include <cstdio>
#include <string>

namespace platform {
namespace {

std::atomic<MessageBoxObserver> observer{nullptr};

QMessageBox::Icon IconOf(UINT type)
{
    switch (type & 0xF0) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int ShowBox(HWND owner, const std::string& text, const std::string& caption, UINT type)
{
    Window* ownerWindow = Window::From(owner);
    QMessageBox box(IconOf(type), QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::NoButton,
                    ownerWindow != nullptr ? ownerWindow->Widget() : nullptr);
    switch (type & 0x0F) {
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Cancel:
        return IDCANCEL;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    default:
        return IDOK;
    }
}

}  // namespace

void SetMessageBoxObserver(MessageBoxObserver newObserver)
{
    observer.store(newObserver);
}

}  // namespace platform

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    STRUMKEY_CHECK(platform::OnMainThread());
    if (platform::MessageBoxObserver seen = platform::observer.load()) {
        seen(owner, text, caption, type);
        return IDOK;
    }
    // Without a caption Windows shows its own word for an error, in the
    // user's language.
    const bool japanese = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
    const std::string title = caption != nullptr ? platform::Cp932ToUtf8(caption) : japanese ? u8"エラー" : "Error";
    const std::string body = platform::Cp932ToUtf8(text != nullptr ? text : "");
    if (platform::StartUserInterface())
        return platform::ShowBox(owner, body, title, type);
    // One box, one line.
    std::string line = title + ": " + body;
    for (char& c : line)
        if (c == '\n' || c == '\r')
            c = ' ';
    std::fprintf(stderr, "%s\n", line.c_str());
    return IDOK;
}
