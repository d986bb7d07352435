// The wheel hook over the modelled window table, the scroll arithmetic of the
// main window's handler, and the Qt filter that feeds the hook.
#include "WheelMouse.h"
#include "WheelHookFilter.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>
#include <QtTest/qtestspontaneevent.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

using namespace zorvik;

namespace {

constexpr uintptr_t kWindow = 0x1000;
constexpr uintptr_t kOtherWindow = 0x2000;

uintptr_t WheelParam(int16_t distance) {
    return uintptr_t(uint32_t(uint16_t(distance)) << 16);
}

intptr_t PointParam(int16_t x, int16_t y) {
    return intptr_t(uint32_t(uint16_t(x)) | uint32_t(uint16_t(y)) << 16);
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", value);
    return text;
}

// Two windows whose own procedures log what reaches them and answer 77;
// events of the sources are logged in the same list, so the order shows.
class WheelHook : public ::testing::Test {
  protected:
    void SetUp() override {
        for (uintptr_t window : {kWindow, kOtherWindow})
            modWheelMouse::RegisterWindow(
                window, [this](uintptr_t hWnd, uint32_t uMsg, uintptr_t, intptr_t) -> intptr_t {
                    log.push_back((hWnd == kWindow ? "previous " : "other previous ") + Hex(uMsg));
                    return 77;
                });
    }
    void TearDown() override {
        modWheelMouse::UnregisterWindow(kWindow);
        modWheelMouse::UnregisterWindow(kOtherWindow);
        modWheelMouse::SetTwipsPerPixel(15, 15);
    }

    void Listen(clsWheelMouse& source, const std::string& name = "") {
        source.MouseWheel = [this, name](int16_t vector) {
            log.push_back(name + "wheel " + std::to_string(vector));
        };
        source.MouseWheelButtonDown = [this, name](float x, float y) {
            log.push_back(name + "down " + std::to_string(x) + " " + std::to_string(y));
        };
        source.MouseWheelButtonUp = [this, name](float x, float y) {
            log.push_back(name + "up " + std::to_string(x) + " " + std::to_string(y));
        };
    }

    intptr_t Send(uintptr_t window, uint32_t uMsg, uintptr_t wParam = 0, intptr_t lParam = 0) {
        return modWheelMouse::DispatchWindowMessage(window, uMsg, wParam, lParam);
    }

    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

} // namespace

TEST_F(WheelHook, EachWheelMessageIsOneNotchBySignOfItsHighWordThenReachesThePreviousProc) {
    clsWheelMouse wheel;
    Listen(wheel);
    ASSERT_TRUE(wheel.Initialize(kWindow));
    struct Row {
        uintptr_t wParam;
        const char* expected;
    };
    const Row rows[] = {
        {WheelParam(120), "wheel 1"},
        {WheelParam(-120), "wheel -1"},
        {WheelParam(30), "wheel 1"},         // a high-resolution wheel: still a whole notch
        {WheelParam(-360), "wheel -1"},      // several notches at once: still one
        {0, "wheel 1"},                      // no distance counts as forward
        {WheelParam(120) | 0x10, "wheel 1"}, // button flags in the low word
        // -32768 / 65536 = -0.5 rounds to even 0, forward; one less is backward.
        {0xFFFF8000u, "wheel 1"},
        {0xFFFF7FFFu, "wheel -1"},
    };
    for (const Row& row : rows) {
        log.clear();
        EXPECT_EQ(Send(kWindow, kWmMouseWheel, row.wParam), 77);
        EXPECT_EQ(log, (Log{row.expected, "previous 20a"})) << std::hex << row.wParam;
    }
}

TEST_F(WheelHook, MiddleButtonPositionsComeInTwipsAndOtherMessagesRaiseNothing) {
    clsWheelMouse wheel;
    Listen(wheel);
    ASSERT_TRUE(wheel.Initialize(kWindow));
    Send(kWindow, kWmMButtonDown, 0, PointParam(10, 20));
    Send(kWindow, kWmMButtonUp, 0, PointParam(-1, 3)); // released left of the window
    Send(kWindow, kWmMButtonDblClk, 0, PointParam(10, 20));
    Send(kWindow, kWmMouseHWheel, WheelParam(120));
    Send(kWindow, 0x200, 0, PointParam(10, 20));
    EXPECT_EQ(log, (Log{"down 150.000000 300.000000", "previous 207", "up -15.000000 45.000000",
                        "previous 208", "previous 209", "previous 20e", "previous 200"}));

    log.clear();
    modWheelMouse::SetTwipsPerPixel(12, 7.5f);
    Send(kWindow, kWmMButtonDown, 0, PointParam(10, 3));
    EXPECT_EQ(log, (Log{"down 120.000000 22.500000", "previous 207"}));
}

TEST_F(WheelHook, AWindowIsHookedOnceAndRefusedInitializationsChangeNothing) {
    clsWheelMouse first, second;
    Listen(first, "first ");
    Listen(second, "second ");
    EXPECT_FALSE(first.Initialize(0));
    EXPECT_FALSE(first.Hooked());
    ASSERT_TRUE(first.Initialize(kWindow));
    EXPECT_TRUE(first.Hooked());
    EXPECT_EQ(first.OwnerhWnd(), kWindow);

    EXPECT_FALSE(first.Initialize(kOtherWindow)); // already hooked
    EXPECT_EQ(first.OwnerhWnd(), kWindow);
    {
        clsWheelMouse intruder;
        EXPECT_FALSE(intruder.Initialize(kWindow)); // the window is taken
        EXPECT_FALSE(intruder.Hooked());
    } // destroying an unhooked object must not unhook the window
    EXPECT_EQ(modWheelMouse::WheelHookList(), (std::vector<clsWheelMouse*>{&first}));

    ASSERT_TRUE(second.Initialize(kOtherWindow));
    EXPECT_EQ(modWheelMouse::WheelHookList(), (std::vector<clsWheelMouse*>{&first, &second}));
    Send(kWindow, kWmMouseWheel, WheelParam(120));
    Send(kOtherWindow, kWmMouseWheel, WheelParam(-120));
    EXPECT_EQ(log, (Log{"first wheel 1", "previous 20a", "second wheel -1", "other previous 20a"}));
}

TEST_F(WheelHook, AfterTerminateMessagesReachOnlyThePreviousProc) {
    clsWheelMouse wheel;
    Listen(wheel);
    ASSERT_TRUE(wheel.Initialize(kWindow));
    wheel.Terminate();
    EXPECT_FALSE(wheel.Hooked());
    EXPECT_TRUE(modWheelMouse::WheelHookList().empty());
    EXPECT_EQ(Send(kWindow, kWmMouseWheel, WheelParam(120)), 77);
    Send(kWindow, kWmMButtonDown, 0, PointParam(1, 1));
    EXPECT_EQ(log, (Log{"previous 20a", "previous 207"}));
    wheel.Terminate(); // a second one does nothing

    // The window can be hooked again, and destruction unhooks it.
    {
        clsWheelMouse again;
        Listen(again);
        ASSERT_TRUE(again.Initialize(kWindow));
    }
    log.clear();
    Send(kWindow, kWmMouseWheel, WheelParam(120));
    EXPECT_EQ(log, (Log{"previous 20a"}));
    EXPECT_TRUE(modWheelMouse::WheelHookList().empty());
}

TEST_F(WheelHook, MessagesSentByAHandlerToAnyHookedWindowRaiseNoEvents) {
    clsWheelMouse wheel, other;
    Listen(other, "other ");
    ASSERT_TRUE(wheel.Initialize(kWindow));
    ASSERT_TRUE(other.Initialize(kOtherWindow));
    wheel.MouseWheel = [this](int16_t vector) {
        log.push_back("wheel " + std::to_string(vector));
        EXPECT_TRUE(modWheelMouse::InWheelEvent());
        Send(kWindow, kWmMouseWheel, WheelParam(-120)); // as moving the view does
        Send(kOtherWindow, kWmMButtonDown, 0, PointParam(1, 1));
    };
    Send(kWindow, kWmMouseWheel, WheelParam(120));
    EXPECT_EQ(log, (Log{"wheel 1", "previous 20a", "other previous 207", "previous 20a"}));
    EXPECT_FALSE(modWheelMouse::InWheelEvent());

    // A handler that throws does not leave the hook switched off.
    wheel.MouseWheel = [](int16_t) { throw std::runtime_error("handler"); };
    EXPECT_THROW(Send(kWindow, kWmMouseWheel, WheelParam(120)), std::runtime_error);
    EXPECT_FALSE(modWheelMouse::InWheelEvent());
    log.clear();
    Send(kOtherWindow, kWmMouseWheel, WheelParam(120));
    EXPECT_EQ(log, (Log{"other wheel 1", "other previous 20a"}));
}

TEST(WheelScrollValue, OneNotchMovesTwentyUnitsWithinTheBar) {
    EXPECT_EQ(WheelScrollValue(10, 1, 0, 100), 0);    // forward past the top
    EXPECT_EQ(WheelScrollValue(90, -1, 0, 100), 100); // backward past the bottom
    EXPECT_EQ(WheelScrollValue(50, -1, 0, 100), 70);
    EXPECT_EQ(WheelScrollValue(32760, -1, 0, 32767), 32767); // no 16-bit wrap
}

namespace {

class CountingWidget : public QWidget {
  public:
    using QWidget::QWidget;
    int wheelEvents = 0;

  protected:
    void wheelEvent(QWheelEvent* event) override {
        ++wheelEvents;
        QWidget::wheelEvent(event);
    }
};

QWheelEvent Wheel(QPoint angleDelta) {
    return QWheelEvent(QPointF(5, 5), QPointF(5, 5), QPoint(), angleDelta, Qt::NoButton,
                       Qt::NoModifier, Qt::NoScrollPhase, false);
}

QMouseEvent Middle(QEvent::Type type, QPointF position) {
    return QMouseEvent(type, position, position, Qt::MiddleButton,
                       type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MiddleButton,
                       Qt::NoModifier);
}

} // namespace

TEST(WheelHookFilter, WidgetEventsBecomeHookMessages) {
    CountingWidget frame;
    frame.resize(200, 200);
    QWidget* view = new QWidget(&frame); // ignores wheel and mouse events
    view->setGeometry(5, 5, 100, 100);
    frame.show();

    intptr_t answer = 0;
    std::vector<uint32_t> reached;
    auto* filter =
        new WheelHookFilter(&frame, [&](uintptr_t, uint32_t uMsg, uintptr_t, intptr_t) -> intptr_t {
            reached.push_back(uMsg);
            return answer;
        });
    std::vector<std::string> events;
    clsWheelMouse wheel;
    wheel.MouseWheel = [&](int16_t vector) { events.push_back("wheel " + std::to_string(vector)); };
    wheel.MouseWheelButtonDown = [&](float x, float y) {
        events.push_back("down " + std::to_string(int(x)) + " " + std::to_string(int(y)));
    };
    ASSERT_TRUE(wheel.Initialize(WheelHookFilter::HandleOf(&frame)));

    QWheelEvent back = Wheel(QPoint(0, -120));
    QCoreApplication::sendEvent(&frame, &back);
    QWheelEvent fine = Wheel(QPoint(0, 30));
    QCoreApplication::sendEvent(&frame, &fine);
    QWheelEvent sideways = Wheel(QPoint(120, 0));
    QCoreApplication::sendEvent(&frame, &sideways);
    QMouseEvent press = Middle(QEvent::MouseButtonPress, QPointF(10, 20));
    QCoreApplication::sendEvent(&frame, &press);
    QMouseEvent left(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&frame, &left);
    EXPECT_EQ(events, (std::vector<std::string>{"wheel -1", "wheel 1", "down 150 300"}));
    EXPECT_EQ(reached, (std::vector<uint32_t>{kWmMouseWheel, kWmMouseWheel, kWmMouseHWheel,
                                              kWmMButtonDown}));
    EXPECT_EQ(frame.wheelEvents, 3); // an answer of 0 lets Qt go on

    // Over the view, as the platform delivers them: passed on to the frame
    // in the frame's coordinates. Qt passes on only spontaneous wheel events,
    // and sendEvent would clear the flag.
    events.clear();
    QWheelEvent overView = Wheel(QPoint(0, 120));
    QSpontaneKeyEvent::setSpontaneous(&overView);
    qApp->notify(view, &overView);
    QMouseEvent pressOverView = Middle(QEvent::MouseButtonPress, QPointF(10, 20));
    QCoreApplication::sendEvent(view, &pressOverView);
    EXPECT_EQ(events, (std::vector<std::string>{"wheel 1", "down 225 375"}));

    answer = 1; // the previous procedure consumes the event
    const int wheelEventsBefore = frame.wheelEvents;
    QWheelEvent consumed = Wheel(QPoint(0, 120));
    QCoreApplication::sendEvent(&frame, &consumed);
    EXPECT_EQ(frame.wheelEvents, wheelEventsBefore);

    wheel.Terminate();
    events.clear();
    reached.clear();
    QWheelEvent unhooked = Wheel(QPoint(0, 120));
    QCoreApplication::sendEvent(&frame, &unhooked);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(reached, (std::vector<uint32_t>{kWmMouseWheel}));

    delete filter;
    reached.clear();
    QWheelEvent unfiltered = Wheel(QPoint(0, 120));
    QCoreApplication::sendEvent(&frame, &unfiltered);
    EXPECT_TRUE(reached.empty());
}
