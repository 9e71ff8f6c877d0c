// The status bar control: a framed label that follows its parent's size.

#include "platform/linux/ui/StatusBar.h"

#include "platform/Text.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>

#include <algorithm>
#include <cstring>

namespace platform {
namespace {

// Keeps the bar on its edge when the parent changes size.
class EdgeKeeper : public QObject {
public:
    EdgeKeeper(StatusBar& bar, QObject* parent) : QObject(parent), bar(bar) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Resize)
            bar.Place();
        return false;
    }

private:
    StatusBar& bar;
};

}  // namespace

StatusBar::StatusBar(Window& parent, DWORD style, int id, HINSTANCE instance, const QFont& font)
    : Window(&parent, new QFrame(parent.Widget()), &StatusBar::Procedure, style, id, instance)
{
    auto* frame = static_cast<QFrame*>(Widget());
    frame->setFont(font);
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QHBoxLayout(frame);
    layout->setContentsMargins(4, 1, 4, 1);
    label = new QLabel(frame);
    label->setTextFormat(Qt::PlainText);
    layout->addWidget(label);
    if (QWidget* parentWidget = parent.Widget())
        parentWidget->installEventFilter(new EdgeKeeper(*this, frame));
    Place();
}

void StatusBar::Place()
{
    QWidget* frame = Widget();
    QWidget* parent = frame != nullptr ? frame->parentWidget() : nullptr;
    if (parent == nullptr)
        return;
    const int height = frame->fontMetrics().height() + 8;
    const bool top = (Style() & CCS_BOTTOM) == CCS_TOP;
    frame->setGeometry(0, top ? 0 : parent->height() - height, parent->width(), height);
}

void StatusBar::UpdateView()
{
    label->setText(QString::fromStdString(Cp932ToUtf8(Shown())));
}

LRESULT StatusBar::Process(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case SB_SIMPLE:
        simple = wParam != 0;
        UpdateView();
        return 0;
    case SB_ISSIMPLE:
        return simple ? TRUE : FALSE;
    case SB_SETTEXTA: {
        // The low byte is the part (the bar has one), the high byte the way
        // it is drawn, which does not change the text.
        const WPARAM part = wParam & 0xFF;
        if (part != SB_SIMPLEID && part != 0)
            return FALSE;
        const char* text = reinterpret_cast<const char*>(lParam);
        (part == SB_SIMPLEID ? simpleText : partText) = text != nullptr ? text : "";
        UpdateView();
        return TRUE;
    }
    case SB_GETTEXTLENGTHA:
    case SB_GETTEXTA: {
        const WPARAM part = wParam & 0xFF;
        const std::string& text = simple || part == SB_SIMPLEID ? simpleText : partText;
        if (!simple && part != 0 && part != SB_SIMPLEID)
            return 0;
        if (message == SB_GETTEXTA && lParam != 0)
            std::memcpy(reinterpret_cast<char*>(lParam), text.c_str(), text.size() + 1);
        return MAKELONG(static_cast<WORD>(text.size()), 0);
    }
    default:
        return DefWindowProcA(Handle(), message, wParam, lParam);
    }
}

LRESULT CALLBACK StatusBar::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* bar = dynamic_cast<StatusBar*>(Window::From(window));
    if (bar == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
    return bar->Process(message, wParam, lParam);
}

}  // namespace platform
