// The trackbar control over a toolkit slider. The control keeps its own range
// and position, as Windows reports them; the slider only shows them and takes
// the mouse.

#include "platform/linux/ui/Trackbar.h"

#include <QMouseEvent>
#include <QSlider>
#include <QWheelEvent>

#include <algorithm>

namespace platform {
namespace {

class TrackbarWidget : public QSlider {
public:
    TrackbarWidget(Trackbar& trackbar, QWidget* parent) : QSlider(Qt::Horizontal, parent), owner(trackbar)
    {
        connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) {
            owner.OnSliderAction(action, inWheel, positionBefore);
            positionBefore = sliderPosition();
        });
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        pressed = true;
        positionBefore = sliderPosition();
        QSlider::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const bool dragged = isSliderDown();
        QSlider::mouseReleaseEvent(event);
        if (pressed && event->buttons() == Qt::NoButton) {
            pressed = false;
            owner.OnMouseReleased(dragged);
        }
    }
    void wheelEvent(QWheelEvent* event) override
    {
        inWheel = true;
        positionBefore = sliderPosition();
        QSlider::wheelEvent(event);
        inWheel = false;
    }
    void focusInEvent(QFocusEvent* event) override
    {
        QSlider::focusInEvent(event);
        owner.NoteFocusIn();
    }

private:
    Trackbar& owner;
    bool pressed = false;
    bool inWheel = false;
    int positionBefore = 0;
};

}  // namespace

Trackbar::Trackbar(Window& parent, DWORD style, const QRect& geometry, int id, HINSTANCE instance)
    : Window(&parent, nullptr, &Trackbar::Procedure, style, id, instance)
{
    auto* slider = new TrackbarWidget(*this, parent.Widget());
    SetWidget(slider);
    slider->setGeometry(geometry);
    slider->setFocusPolicy(Qt::StrongFocus);  // a click gives it the focus; Tab is the dialog's
    slider->setTracking(true);
    if (style & WS_DISABLED)
        slider->setEnabled(false);
    UpdateView();
}

void Trackbar::SetPosition(LONG position)
{
    // Below the minimum goes to the minimum first, then above the maximum to
    // the maximum, so a range with the maximum under the minimum ends there.
    pos = position;
    if (pos < min)
        pos = min;
    if (pos > max)
        pos = max;
}

void Trackbar::SetRange(LONG minimum, LONG maximum)
{
    min = minimum;
    max = maximum;
    page = std::max<LONG>((max - min) / 5, 1);
    SetPosition(pos);
}

void Trackbar::UpdateView()
{
    auto* slider = static_cast<QSlider*>(Widget());
    if (slider == nullptr)
        return;
    const QSignalBlocker quiet(slider);
    slider->setRange(min, std::max(min, max));
    slider->setSingleStep(line);
    slider->setPageStep(page);
    slider->setValue(pos);
    const bool ticks = (Style() & TBS_AUTOTICKS) && !(Style() & TBS_NOTICKS) && ticFreq > 0;
    slider->setTickPosition(ticks ? QSlider::TicksBelow : QSlider::NoTicks);
    slider->setTickInterval(ticks ? ticFreq : 0);
}

void Trackbar::Notify(WORD code)
{
    const bool withPosition = code == TB_THUMBTRACK || code == TB_THUMBPOSITION;
    NotifyParent(WM_HSCROLL, MAKEWPARAM(code, withPosition ? static_cast<WORD>(pos) : 0));
}

void Trackbar::OnSliderAction(int action, bool byWheel, int oldPosition)
{
    auto* slider = static_cast<QSlider*>(Widget());
    if (slider == nullptr)
        return;
    pos = slider->sliderPosition();
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        Notify(TB_LINEDOWN);
        break;
    case QAbstractSlider::SliderSingleStepSub:
        Notify(TB_LINEUP);
        break;
    case QAbstractSlider::SliderPageStepAdd:
        Notify(TB_PAGEDOWN);
        break;
    case QAbstractSlider::SliderPageStepSub:
        Notify(TB_PAGEUP);
        break;
    case QAbstractSlider::SliderToMinimum:
        Notify(TB_TOP);
        break;
    case QAbstractSlider::SliderToMaximum:
        Notify(TB_BOTTOM);
        break;
    case QAbstractSlider::SliderMove:
        if (!byWheel) {
            Notify(TB_THUMBTRACK);
        } else if (pos != oldPosition) {
            Notify(pos < oldPosition ? TB_LINEUP : TB_LINEDOWN);
            Notify(TB_ENDTRACK);
        }
        break;
    default:
        break;
    }
}

void Trackbar::OnMouseReleased(bool thumbWasDragged)
{
    if (thumbWasDragged)
        Notify(TB_THUMBPOSITION);
    Notify(TB_ENDTRACK);
}

void Trackbar::KeyDown(WPARAM key)
{
    WORD code;
    switch (key) {
    case VK_LEFT:
    case VK_UP:
        if (pos == min)
            return;
        pos -= line;
        code = TB_LINEUP;
        break;
    case VK_RIGHT:
    case VK_DOWN:
        if (pos == max)
            return;
        pos += line;
        code = TB_LINEDOWN;
        break;
    case VK_PRIOR:
        if (pos == min)
            return;
        pos -= page;
        code = TB_PAGEUP;
        break;
    case VK_NEXT:
        if (pos == max)
            return;
        pos += page;
        code = TB_PAGEDOWN;
        break;
    case VK_HOME:
        if (pos == min)
            return;
        pos = min;
        code = TB_TOP;
        break;
    case VK_END:
        if (pos == max)
            return;
        pos = max;
        code = TB_BOTTOM;
        break;
    default:
        return;
    }
    SetPosition(pos);
    UpdateView();
    Notify(code);
}

LRESULT Trackbar::Process(UINT message, WPARAM wParam, LPARAM lParam)
{
    LONG previous;
    switch (message) {
    case TBM_GETPOS:
        return pos;
    case TBM_GETRANGEMIN:
        return min;
    case TBM_GETRANGEMAX:
        return max;
    case TBM_SETPOS:
        SetPosition(static_cast<LONG>(lParam));
        UpdateView();
        return 0;
    case TBM_SETRANGE:
        // Two signed 16-bit values, as the message defines them.
        SetRange(static_cast<short>(LOWORD(static_cast<ULONG_PTR>(lParam))),
                 static_cast<short>(HIWORD(static_cast<ULONG_PTR>(lParam))));
        UpdateView();
        return 0;
    case TBM_SETRANGEMIN:
        SetRange(static_cast<LONG>(lParam), max);
        UpdateView();
        return 0;
    case TBM_SETRANGEMAX:
        SetRange(min, static_cast<LONG>(lParam));
        UpdateView();
        return 0;
    case TBM_SETTICFREQ:
        ticFreq = static_cast<LONG>(wParam);
        UpdateView();
        return 0;
    case TBM_SETPAGESIZE:
        previous = page;
        page = static_cast<LONG>(lParam);
        UpdateView();
        return previous;
    case TBM_GETPAGESIZE:
        return page;
    case TBM_SETLINESIZE:
        previous = line;
        line = static_cast<LONG>(lParam);
        UpdateView();
        return previous;
    case TBM_GETLINESIZE:
        return line;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS;
    case WM_KEYDOWN:
        KeyDown(wParam);
        return 0;
    case WM_KEYUP:
        switch (wParam) {
        case VK_LEFT:
        case VK_UP:
        case VK_RIGHT:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_HOME:
        case VK_END:
            Notify(TB_ENDTRACK);
            break;
        default:
            break;
        }
        return 0;
    default:
        return DefWindowProcA(Handle(), message, wParam, lParam);
    }
}

LRESULT CALLBACK Trackbar::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* trackbar = dynamic_cast<Trackbar*>(Window::From(window));
    if (trackbar == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
    return trackbar->Process(message, wParam, lParam);
}

}  // namespace platform
