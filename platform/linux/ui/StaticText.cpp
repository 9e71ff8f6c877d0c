// The static control.

#include "platform/linux/ui/StaticText.h"

#include "platform/Text.h"

#include <QLabel>

#include <cctype>

namespace platform {
namespace {

constexpr DWORD TypeMask = 0x1F;

// "&&" shows one '&'; a single '&' marks the mnemonic and is not shown.
QString ShownText(const std::string& utf8, bool prefixes)
{
    QString text = QString::fromStdString(utf8);
    if (!prefixes)
        return text;
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        shown += text[i];
    }
    return shown;
}

}  // namespace

StaticText::StaticText(Window& parent, const std::string& textUtf8, DWORD style, const QRect& geometry, int id,
                       HINSTANCE instance, const QFont& font)
    : Window(&parent, new QLabel(parent.Widget()), &StaticText::Procedure, style, id, instance),
      text(Utf8ToCp932(textUtf8))
{
    auto* label = static_cast<QLabel*>(Widget());
    label->setFont(font);
    label->setGeometry(geometry);
    label->setText(ShownText(textUtf8, !(style & SS_NOPREFIX)));
    label->setTextFormat(Qt::PlainText);
    const DWORD type = style & TypeMask;
    Qt::Alignment horizontal = type == SS_CENTER ? Qt::AlignHCenter : type == SS_RIGHT ? Qt::AlignRight : Qt::AlignLeft;
    label->setAlignment(horizontal | Qt::AlignTop);
    // Windows wraps the left, centred and right styles at word boundaries.
    label->setWordWrap(type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT);
    label->setFocusPolicy(Qt::NoFocus);
    if (style & WS_DISABLED)
        label->setEnabled(false);
}

char StaticText::Mnemonic() const
{
    if (Style() & SS_NOPREFIX)
        return 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (IsCp932LeadByte(static_cast<unsigned char>(text[i]))) {
            ++i;
        } else if (text[i] == '&') {
            if (text[i + 1] != '&')
                return static_cast<char>(std::tolower(static_cast<unsigned char>(text[i + 1])));
            ++i;
        }
    }
    return 0;
}

LRESULT CALLBACK StaticText::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_GETDLGCODE)
        return DLGC_STATIC;
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace platform
