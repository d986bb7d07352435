// The Qt side of the mouse-wheel hook: wheel turns and middle-button clicks
// that reach one widget are turned into window messages and delivered to the
// widget's entry in the hook's window table (WheelMouse.h), where an
// installed hook sees them before the widget's previous procedure.
//
// The widget is registered under HandleOf(widget); hook it with
// clsWheelMouse::Initialize(WheelHookFilter::HandleOf(widget)).
//
// Events over child widgets: Qt passes a wheel or mouse event on to the
// parent only when the child ignores it. A child view inside the hooked
// widget must therefore leave wheel events and middle-button presses and
// releases ignored (QWidget's own handlers do; a handler that accepts them
// must call event->ignore() for them), or the hook never sees them.
#pragma once

#include "WheelMouse.h"

#include <QObject>

#include <cstdint>
#include <vector>

class QWidget;

namespace zorvik {

class WheelHookFilter : public QObject {
    Q_OBJECT

  public:
    // Installs itself on widget, as the widget's child, and registers the
    // widget as a window whose procedure is previous: a non-zero result
    // consumes the event, 0 lets Qt go on with it. An empty previous
    // procedure always answers 0.
    explicit WheelHookFilter(QWidget* widget, WindowProc previous = {});
    // Forgets the widget's window entry; unhook it before.
    ~WheelHookFilter() override;

    // Wheel turns over other (a scroll bar beside the widget) reach the
    // widget's procedure as turns over the widget do, and never other itself,
    // so that it does not scroll by rules of its own.
    void TakeWheelFrom(QWidget* other);

    static uintptr_t HandleOf(const QWidget* widget);
    uintptr_t Handle() const { return handle_; }

  protected:
    // QEvent::Wheel: kWmMouseWheel with the vertical angle delta (120 a
    // notch) in wParam's high word, or kWmMouseHWheel when only the
    // horizontal delta is non-zero; nothing for a delta-free event.
    // Middle-button press, release and double click: kWmMButtonDown, Up,
    // DblClk with the client pixel position in lParam.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QObject* watched_;
    std::vector<QObject*> wheelFrom_;
    uintptr_t handle_;
};

} // namespace zorvik
