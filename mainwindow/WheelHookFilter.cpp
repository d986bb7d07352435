#include "WheelHookFilter.h"

#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace zorvik {
namespace {

// The distance goes into the high word, as the window system puts it.
uintptr_t WheelParam(int delta) {
    const int clamped = std::clamp(delta, -32768, 32767);
    return uintptr_t(uint32_t(uint16_t(int16_t(clamped))) << 16);
}

// Client pixels, x in the low word and y in the high word, each cut to 16
// bits as the window system does (positions left of or above a grabbing
// widget are negative).
intptr_t PointParam(const QPointF& position) {
    const auto x = uint16_t(int(std::floor(position.x())));
    const auto y = uint16_t(int(std::floor(position.y())));
    return intptr_t(uint32_t(x) | uint32_t(y) << 16);
}

// The wheel message of a turn; false for a delta-free event.
bool WheelMessage(const QWheelEvent& wheel, uint32_t& message, uintptr_t& wParam) {
    const QPoint delta = wheel.angleDelta();
    if (delta.y() != 0) {
        message = kWmMouseWheel;
        wParam = WheelParam(delta.y());
    } else if (delta.x() != 0) {
        // Qt counts to the left as positive, the window system to the right.
        message = kWmMouseHWheel;
        wParam = WheelParam(-delta.x());
    } else {
        return false;
    }
    return true;
}

} // namespace

WheelHookFilter::WheelHookFilter(QWidget* widget, WindowProc previous)
    : QObject(widget), watched_(widget), handle_(HandleOf(widget)) {
    if (!previous)
        previous = [](uintptr_t, uint32_t, uintptr_t, intptr_t) -> intptr_t { return 0; };
    modWheelMouse::RegisterWindow(handle_, std::move(previous));
    widget->installEventFilter(this);
}

WheelHookFilter::~WheelHookFilter() {
    modWheelMouse::UnregisterWindow(handle_);
}

uintptr_t WheelHookFilter::HandleOf(const QWidget* widget) {
    return reinterpret_cast<uintptr_t>(widget);
}

void WheelHookFilter::TakeWheelFrom(QWidget* other) {
    wheelFrom_.push_back(other);
    other->installEventFilter(this);
}

bool WheelHookFilter::eventFilter(QObject* watched, QEvent* event) {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    if (watched != watched_) {
        if (event->type() != QEvent::Wheel ||
            std::find(wheelFrom_.begin(), wheelFrom_.end(), watched) == wheelFrom_.end())
            return false;
        if (WheelMessage(*static_cast<QWheelEvent*>(event), message, wParam))
            modWheelMouse::DispatchWindowMessage(handle_, message, wParam, 0);
        return true; // never the other widget's own scrolling
    }
    switch (event->type()) {
    case QEvent::Wheel:
        if (!WheelMessage(*static_cast<QWheelEvent*>(event), message, wParam)) return false;
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::MiddleButton) return false;
        message = event->type() == QEvent::MouseButtonPress     ? kWmMButtonDown
                  : event->type() == QEvent::MouseButtonRelease ? kWmMButtonUp
                                                                : kWmMButtonDblClk;
        lParam = PointParam(mouse->position());
        break;
    }
    default:
        return false;
    }
    return modWheelMouse::DispatchWindowMessage(handle_, message, wParam, lParam) != 0;
}

} // namespace zorvik
