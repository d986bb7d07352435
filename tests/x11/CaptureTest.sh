#!/usr/bin/env bash
# Screen capture under a real X server with a window manager, as a person
# uses it: another program shows a QR code; ZORVIK captures the active
# window (it minimises itself, so that program becomes active), the
# capture lands on the clipboard with the same pixels an independent
# screenshot shows, a box dragged with the mouse around the symbol decodes
# it; then the whole desktop is captured and compared the same way, and
# once more from the maximised window, which must come back laid out for
# its size.
#
# usage: CaptureTest.sh ZORVIK ZORVIK_CLI PICTURE
set -euo pipefail

zorvik=$1 cli=$2 picture=$3
source "$(dirname "$0")/XServer.sh"
# Number of pixels that differ between two pictures.
differing() { compare -metric AE "$1" "$2" null: 2>&1 || true; }
start_x_server 141 190

# The other program: an image viewer showing the symbol four times enlarged.
convert "$picture" -scale 400% "$work/symbol.png"
expected=$("$cli" "$work/symbol.png") || fail "the command-line decoder cannot read the picture"
display -title viewer -geometry +40+60 "$work/symbol.png" >"$work/display.log" 2>&1 &
pids+=($!)
wait_for 10 xdotool search --name '^viewer$' || fail "the viewer did not start"
viewer=$(xdotool search --name '^viewer$' | head -1)

cp "$zorvik" "$work/zorvik"
printf 'CameraSound=0\r\nDecodeAtOnce=1\r\n' >"$work/ZORVIK.ini"
"$work/zorvik" >"$work/zorvik.log" 2>&1 &
app=$!
pids+=($app)
wait_for 20 xdotool search --name '^ミルカ$' || fail "no main window ($(cat "$work/zorvik.log"))"
main=$(xdotool search --name '^ミルカ$' | head -1)
xdotool windowmove --sync "$main" 500 100

# The viewer is active first, then ZORVIK; its capture minimises ZORVIK.
xdotool windowactivate --sync "$viewer"
xdotool windowactivate --sync "$main"
sleep 0.3
xdotool key --clearmodifiers alt+e
sleep 0.3
xdotool key Return # 赤カメラ - アクティブウィンドキャプチャ
sleep 2.5
wait_for 10 bash -c "xprop -id $main WM_STATE | grep -q Normal" || fail "ZORVIK was not restored"

# The clipboard holds the capture: the viewer with its frame.
xclip -selection clipboard -t image/png -o >"$work/active.png" || fail "no picture on the clipboard"
frame=$(xwininfo -id "$viewer" -children | awk '/Parent window id/ {print $4}')
root=$(xwininfo -root | awk '/Window id/ {print $4}')
while true; do
    parent=$(xwininfo -id "$frame" -children | awk '/Parent window id/ {print $4}')
    [ "$parent" = "$root" ] && break
    frame=$parent
done
xdotool windowminimize --sync "$main"
import -window "$frame" "$work/frame.png"
[ "$(identify -format %wx%h "$work/active.png")" = "$(identify -format %wx%h "$work/frame.png")" ] ||
    fail "the active-window capture is $(identify -format %wx%h "$work/active.png"), the frame $(identify -format %wx%h "$work/frame.png")"
[ "$(differing "$work/active.png" "$work/frame.png")" = "0" ] ||
    fail "the active-window capture differs from the screen in $(differing "$work/active.png" "$work/frame.png") pixels"

# A box around the symbol, dragged with the mouse, decodes it.
xdotool windowactivate --sync "$main"
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$main")"
# The view starts 420 twips (28 pixels) below the menu bar (about 22
# pixels); the symbol sits in the captured frame below the viewer's title
# bar, so a box from 12 pixels into the view holds it with room to spare.
view_x=$X view_y=$((Y + 28 + 22))
xdotool mousemove --sync $((view_x + 20)) $((view_y + 20)) click --repeat 2 --delay 80 1 # double click: box mode
sleep 0.3
xdotool mousemove --sync $((view_x + 12)) $((view_y + 12)) mousedown 1
sleep 0.1
xdotool mousemove --sync $((view_x + 150)) $((view_y + 150))
sleep 0.1
W=$(identify -format %w "$work/active.png") H=$(identify -format %h "$work/active.png")
xdotool mousemove --sync $((view_x + W - 3)) $((view_y + H - 3)) mouseup 1
wait_for 20 xdotool search --name 'ＱＲコード  デコード結果' || fail "no result after the box drag ($(cat "$work/zorvik.log"))"
result=$(xdotool search --name 'ＱＲコード  デコード結果' | head -1)
shown=$(result_text "$result")
[ "$shown" = "$expected" ] || fail "the capture decodes to '$shown', expected '$expected'"

# The whole desktop: 編集 > 青カメラ.
xdotool windowactivate --sync "$main"
sleep 0.3
xdotool key --clearmodifiers alt+e
sleep 0.3
xdotool key Down Return
sleep 2.5
xclip -selection clipboard -t image/png -o >"$work/desktop.png" || fail "no desktop picture on the clipboard"
xdotool windowminimize --sync "$main"
sleep 0.3
import -window root "$work/root.png"
[ "$(identify -format %wx%h "$work/desktop.png")" = "1280x800" ] || fail "the desktop capture is $(identify -format %wx%h "$work/desktop.png")"
[ "$(differing "$work/desktop.png" "$work/root.png")" = "0" ] ||
    fail "the desktop capture differs from the screen in $(differing "$work/desktop.png" "$work/root.png") pixels"

# From a maximised window: it comes back maximised and laid out as a resize
# of its own lays it out (the status bar, whose guidance changes, aside).
maximised() { xprop -id "$main" _NET_WM_STATE | grep -q MAXIMIZED_HORZ; }
# A double click on the title bar, just above the window's client area,
# maximises it or gives it back its size.
toggle_maximised() {
    local x y
    read -r x y < <(xwininfo -id "$main" |
        awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4} END {print x, y}')
    xdotool mousemove --sync $((x + 60)) $((y - 8)) click --repeat 2 --delay 80 1
}
# The window without its bottom 30 pixels, the pointer over the view.
window_shot() {
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$main")"
    xdotool mousemove --sync $((X + 200)) $((Y + 200))
    sleep 0.5
    import -window "$main" -crop "${WIDTH}x$((HEIGHT - 30))+0+0" +repage "$1"
}
xdotool windowactivate --sync "$main"
sleep 0.3
toggle_maximised
wait_for 10 maximised || fail "the main window could not be maximised"
sleep 0.5
xdotool key --clearmodifiers alt+e
sleep 0.3
xdotool key Down Return
sleep 2.5
wait_for 10 bash -c "xprop -id $main WM_STATE | grep -q Normal" || fail "ZORVIK was not restored"
maximised || fail "a capture from a maximised window did not bring it back maximised"
window_shot "$work/after-capture.png"
toggle_maximised
wait_for 10 bash -c "! xprop -id $main _NET_WM_STATE | grep -q MAXIMIZED_HORZ" || fail "the window stays maximised"
sleep 0.5
toggle_maximised
wait_for 10 maximised || fail "the main window could not be maximised again"
window_shot "$work/after-resize.png"
[ "$(differing "$work/after-capture.png" "$work/after-resize.png")" = "0" ] ||
    fail "after a capture the maximised window is laid out otherwise than after a resize ($(differing "$work/after-capture.png" "$work/after-resize.png") pixels differ)"
echo "PASS: active window and desktop captured as the screen shows them; the symbol decoded; a maximised window comes back laid out"
