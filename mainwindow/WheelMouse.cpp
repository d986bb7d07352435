#include "WheelMouse.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace zorvik {
namespace {

struct Window {
    WindowProc proc;
    WindowProc userData;
};

struct HookState {
    std::map<uintptr_t, Window> windows;
    std::vector<clsWheelMouse*> hookList;
    bool inWheelEvent = false;
    float twipsPerPixelX = 15.0f;
    float twipsPerPixelY = 15.0f;
};

// Never destroyed, so that an event source destroyed at exit can still unhook.
HookState& State() {
    static HookState* state = new HookState;
    return *state;
}

Window* FindWindow(uintptr_t hWnd) {
    auto found = State().windows.find(hWnd);
    return found == State().windows.end() ? nullptr : &found->second;
}

clsWheelMouse* FindHooked(uintptr_t hWnd) {
    for (clsWheelMouse* entry : State().hookList)
        if (entry->OwnerhWnd() == hWnd) return entry;
    return nullptr;
}

// Rounding half to even, as the conversion to a 16-bit integer rounds.
double RoundHalfEven(double value) {
    const double below = std::floor(value), fraction = value - below;
    if (fraction < 0.5) return below;
    if (fraction > 0.5) return below + 1;
    return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

// Cleared however the handler leaves, so one throwing handler cannot switch
// the hook off for good.
class InEventScope {
  public:
    InEventScope() { State().inWheelEvent = true; }
    ~InEventScope() { State().inWheelEvent = false; }
    InEventScope(const InEventScope&) = delete;
    InEventScope& operator=(const InEventScope&) = delete;
};

} // namespace

clsWheelMouse::~clsWheelMouse() {
    if (hooked_) Terminate();
}

bool clsWheelMouse::Initialize(uintptr_t inlOwnerhWnd) {
    if (hooked_ || inlOwnerhWnd == 0) return false;
    ownerhWnd_ = inlOwnerhWnd;
    if (!modWheelMouse::AttachWheelHook(*this, ownerhWnd_)) return false;
    hooked_ = true;
    return true;
}

void clsWheelMouse::Terminate() {
    if (!hooked_) return;
    modWheelMouse::DetachWheelHook(ownerhWnd_);
    modWheelMouse::SetWindowProc(ownerhWnd_, modWheelMouse::WindowUserData(ownerhWnd_));
    hooked_ = false;
}

void clsWheelMouse::raiseMyEvent(int16_t iniOption, int16_t iniVector, float insX, float insY) {
    switch (iniOption) {
    case 1:
        if (MouseWheelButtonDown) MouseWheelButtonDown(insX, insY);
        break;
    case 2:
        if (MouseWheelButtonUp) MouseWheelButtonUp(insX, insY);
        break;
    case 3:
        if (MouseWheel) MouseWheel(iniVector);
        break;
    default:
        break;
    }
}

namespace modWheelMouse {

void RegisterWindow(uintptr_t hWnd, WindowProc proc) {
    State().windows[hWnd] = Window{std::move(proc), {}};
}

void UnregisterWindow(uintptr_t hWnd) {
    State().windows.erase(hWnd);
}

WindowProc SetWindowProc(uintptr_t hWnd, WindowProc proc) {
    Window* window = FindWindow(hWnd);
    if (!window) return {};
    std::swap(window->proc, proc);
    return proc;
}

WindowProc WindowUserData(uintptr_t hWnd) {
    Window* window = FindWindow(hWnd);
    return window ? window->userData : WindowProc{};
}

void SetWindowUserData(uintptr_t hWnd, WindowProc proc) {
    if (Window* window = FindWindow(hWnd)) window->userData = std::move(proc);
}

intptr_t DispatchWindowMessage(uintptr_t hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam) {
    Window* window = FindWindow(hWnd);
    if (!window || !window->proc) return 0;
    // A copy: the procedure may rewrite or remove its own entry.
    WindowProc proc = window->proc;
    return proc(hWnd, uMsg, wParam, lParam);
}

bool AttachWheelHook(clsWheelMouse& Source, uintptr_t hWnd) {
    if (hWnd == 0 || FindHooked(hWnd)) return false;
    State().hookList.push_back(&Source);
    SetWindowUserData(hWnd, SetWindowProc(hWnd, WheelWindowProc));
    return true;
}

void DetachWheelHook(uintptr_t hWnd) {
    auto& list = State().hookList;
    auto found = std::find_if(list.begin(), list.end(),
                              [hWnd](clsWheelMouse* entry) { return entry->OwnerhWnd() == hWnd; });
    if (found != list.end()) list.erase(found);
}

intptr_t WheelWindowProc(uintptr_t hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam) {
    HookState& state = State();
    clsWheelMouse* entry = state.inWheelEvent ? nullptr : FindHooked(hWnd);
    if (entry) {
        InEventScope scope;
        if (uMsg == kWmMButtonDown || uMsg == kWmMButtonUp) {
            int16_t x = 0, y = 0;
            SplitPointParam(lParam, y, x);
            const float twipsX = float(x) * state.twipsPerPixelX;
            const float twipsY = float(y) * state.twipsPerPixelY;
            entry->raiseMyEvent(uMsg == kWmMButtonDown ? 1 : 2, 0, twipsX, twipsY);
        } else if (uMsg == kWmMouseWheel) {
            entry->raiseMyEvent(3, WheelVector(wParam), 0.0f, 0.0f);
        }
    }
    // Read only now: a handler may have unhooked or destroyed the window.
    WindowProc previous = WindowUserData(hWnd);
    return previous ? previous(hWnd, uMsg, wParam, lParam) : 0;
}

void SplitPointParam(intptr_t lParam, int16_t& Y, int16_t& X) {
    const auto bits = uint32_t(uintptr_t(lParam));
    X = int16_t(uint16_t(bits & 0xFFFF));
    Y = int16_t(uint16_t(bits >> 16));
}

int16_t WheelVector(uintptr_t wParam) {
    // Only the sign of the distance is used, so a quotient that rounds to
    // 32768 needs no 16-bit overflow check.
    const double distance = RoundHalfEven(double(int32_t(uint32_t(wParam))) / 65536.0);
    return distance < 0 ? -1 : 1;
}

const std::vector<clsWheelMouse*>& WheelHookList() {
    return State().hookList;
}

bool InWheelEvent() {
    return State().inWheelEvent;
}

void SetTwipsPerPixel(float x, float y) {
    State().twipsPerPixelX = x;
    State().twipsPerPixelY = y;
}

float TwipsPerPixelX() {
    return State().twipsPerPixelX;
}
float TwipsPerPixelY() {
    return State().twipsPerPixelY;
}

} // namespace modWheelMouse

int16_t WheelScrollValue(int16_t value, int16_t iniVector, int16_t minimum, int16_t maximum) {
    const int wanted = int(value) - int(iniVector) * 20;
    if (wanted < minimum) return minimum;
    if (wanted > maximum) return maximum;
    return int16_t(wanted);
}

} // namespace zorvik
