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

bool WheelHookFilter::eventFilter(QObject* watched, QEvent* event) {
    if (watched != watched_) return false;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    switch (event->type()) {
    case QEvent::Wheel: {
        const QPoint delta = static_cast<QWheelEvent*>(event)->angleDelta();
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
        break;
    }
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
