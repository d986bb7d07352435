// The mouse-wheel hook: wheel turns and middle-button clicks over one window
// become events of an event-source object. The window system is modelled as
// a small table of windows, each with its current window procedure and a
// user-data slot, so that the hook works (and is tested) without Qt; the
// Qt side only turns widget events into messages (WheelHookFilter).
//
// Everything here runs on the window thread; nothing is synchronised.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace zorvik {

// The messages the hook reads, with their usual window-system numbers.
inline constexpr uint32_t kWmMButtonDown = 0x207;   // lParam: client pixel x | y << 16
inline constexpr uint32_t kWmMButtonUp = 0x208;     // lParam as above
inline constexpr uint32_t kWmMButtonDblClk = 0x209; // raises nothing
inline constexpr uint32_t kWmMouseWheel = 0x20A;    // high word of wParam: signed distance
inline constexpr uint32_t kWmMouseHWheel = 0x20E;   // horizontal; raises nothing

// Wheel distance of one notch.
inline constexpr int kWheelDelta = 120;

// A window procedure; what it returns goes back to whoever sent the message.
using WindowProc =
    std::function<intptr_t(uintptr_t hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam)>;

// One event source per hooked window. Not copyable or movable: the hook list
// refers to the object itself.
class clsWheelMouse {
  public:
    clsWheelMouse() = default;
    // Removes the hook when it is installed; an unhooked object touches nothing.
    ~clsWheelMouse();
    clsWheelMouse(const clsWheelMouse&) = delete;
    clsWheelMouse& operator=(const clsWheelMouse&) = delete;

    // Hooks the window. True when this call installed the hook; false when
    // the object is already hooked, the handle is 0 or the window is already
    // hooked by another object. OwnerhWnd is set before the list is asked,
    // so a refused window still shows there.
    bool Initialize(uintptr_t inlOwnerhWnd);

    // Unhooks the window and gives it back its previous procedure; nothing
    // when not hooked.
    void Terminate();

    // 1: MouseWheelButtonDown(insX, insY); 2: MouseWheelButtonUp(insX, insY);
    // 3: MouseWheel(iniVector); any other option: nothing. An event without
    // a handler is skipped.
    void raiseMyEvent(int16_t iniOption, int16_t iniVector, float insX, float insY);

    uintptr_t OwnerhWnd() const { return ownerhWnd_; }
    bool Hooked() const { return hooked_; }

    // +1 for one notch forward (away from the user), -1 for one backward.
    std::function<void(int16_t iniVector)> MouseWheel;
    // Client position of the middle button in twips.
    std::function<void(float X, float Y)> MouseWheelButtonUp;
    std::function<void(float X, float Y)> MouseWheelButtonDown;

  private:
    uintptr_t ownerhWnd_ = 0;
    bool hooked_ = false;
};

namespace modWheelMouse {

// --- The window table (what the window system keeps for each window) ---

// Creates the window (or replaces its entry) with proc as its procedure and
// an empty user-data slot.
void RegisterWindow(uintptr_t hWnd, WindowProc proc);
// Forgets the window, as when it is destroyed. Unhook it first.
void UnregisterWindow(uintptr_t hWnd);
// Replaces the window's procedure and returns the previous one; an unknown
// window is left alone and an empty procedure returned.
WindowProc SetWindowProc(uintptr_t hWnd, WindowProc proc);
// The user-data slot; while the window is hooked it holds the procedure the
// hook replaced and must not be used for anything else. Unknown window: empty.
WindowProc WindowUserData(uintptr_t hWnd);
void SetWindowUserData(uintptr_t hWnd, WindowProc proc);
// Delivers a message to the window's current procedure and returns its
// result; 0 for an unknown window or one without a procedure.
intptr_t DispatchWindowMessage(uintptr_t hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam);

// --- The hook ---

// Lists Source and puts WheelWindowProc in the window's place, keeping the
// previous procedure in the user-data slot. False when hWnd is 0 or the
// window is already listed.
bool AttachWheelHook(clsWheelMouse& Source, uintptr_t hWnd);
// Removes the first list entry for hWnd, if any. The procedure is put back
// by clsWheelMouse::Terminate.
void DetachWheelHook(uintptr_t hWnd);

// The replacement procedure. For a listed window, and unless an event is
// already being raised (by any hooked window), a middle press or release
// raises MouseWheelButtonDown/Up with the position in twips and a wheel
// message raises MouseWheel(+1 or -1); one message is one notch whatever its
// distance. Every message, these included, then goes to the previous
// procedure in the user-data slot, whose result is returned (0 when the slot
// is empty).
intptr_t WheelWindowProc(uintptr_t hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam);

// X = low 16 bits of lParam, Y = bits 16 to 31, each a signed 16-bit number.
void SplitPointParam(intptr_t lParam, int16_t& Y, int16_t& X);

// The wheel vector of a wheel message: the high word's distance (wParam as a
// signed 32-bit number / 65536, rounded half to even) is -1 when negative and
// +1 otherwise, 0 included.
int16_t WheelVector(uintptr_t wParam);

// The hooked objects in the order they were hooked; each window once.
const std::vector<clsWheelMouse*>& WheelHookList();
// True while WheelWindowProc is raising an event.
bool InWheelEvent();

// The screen's twips per pixel for middle-button positions; 15 until set.
void SetTwipsPerPixel(float x, float y);
float TwipsPerPixelX();
float TwipsPerPixelY();

} // namespace modWheelMouse

// The main window's wheel handler arithmetic: the vertical bar's new value
// for one notch, value - iniVector * 20, held within [minimum, maximum]
// (below the minimum gives the minimum, else above the maximum the maximum).
// The difference is taken in full integers, so a value near 32767 clamps to
// the maximum instead of wrapping.
int16_t WheelScrollValue(int16_t value, int16_t iniVector, int16_t minimum, int16_t maximum);

} // namespace zorvik
