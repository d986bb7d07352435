#!/usr/bin/env bash
# The desktop program as a person uses it, under a real X server with a
# window manager: start it, put a picture on the clipboard from another
# program, paste it with the keyboard (Alt+E, then the paste item), read the
# decoded text out of the result window, and leave through File > Exit.
#
# usage: DesktopTest.sh ZORVIK ZORVIK_CLI PICTURE [SCREENSHOT_DIR]
set -euo pipefail

zorvik=$1 cli=$2 picture=$3 shots=${4:-}
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Wait up to $1 seconds for a command to succeed.
wait_for() {
    local seconds=$1; shift
    for ((i = 0; i < seconds * 10; i++)); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

# A display number nobody uses.
for n in $(seq 91 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || { display=":$n"; break; }
done
[ -n "${display:-}" ] || fail "no free display number"
export DISPLAY=$display

# -noreset: the server must not restart when a helper client disconnects.
Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
pids+=($!)
wait_for 10 xdpyinfo || fail "Xvfb did not start"
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_for 10 xprop -root _NET_SUPPORTING_WM_CHECK || fail "openbox did not start"

# A folder of its own, so the settings file starts from the defaults.
cp "$zorvik" "$work/zorvik"
expected=$("$cli" "$picture") || fail "the command-line decoder cannot read $picture"

"$work/zorvik" >"$work/zorvik.log" 2>&1 &
app=$!
pids+=($app)
wait_for 20 xdotool search --name "^ミルカ$" || fail "no main window titled ミルカ ($(cat "$work/zorvik.log"))"
main=$(xdotool search --name '^ミルカ$' | head -1)
[ -f "$work/ZORVIK.ini" ] || fail "no settings file beside the program"

[ -n "$shots" ] && import -window "$main" -frame "$shots/main-window.png"

xclip -selection clipboard -t image/png -i "$picture" &
pids+=($!)
sleep 0.5
xdotool windowactivate --sync "$main"
xdotool key --clearmodifiers alt+e
sleep 0.5
# 編集: red camera, blue camera, then the paste item.
xdotool key Down Down Return

wait_for 20 xdotool search --name 'ＱＲコード  デコード結果' ||
    fail "no result window after the paste ($(cat "$work/zorvik.log"))"
result=$(xdotool search --name 'ＱＲコード  デコード結果' | head -1)
sleep 0.5
[ -n "$shots" ] && import -window "$result" -frame "$shots/result-window.png"

# The text box: select all and copy, as a person would.
eval "$(xdotool getwindowgeometry --shell "$result")"
xdotool mousemove --sync $((X + 100)) $((Y + 300)) click 1
sleep 0.2
xdotool key ctrl+a ctrl+c
sleep 0.3
shown=$(xclip -selection clipboard -o -t UTF8_STRING 2>/dev/null || true)
[ "$shown" = "$expected" ] || fail "the result window shows '$shown', expected '$expected'"

# File > Exit ends the program.
xdotool windowactivate --sync "$main"
xdotool key --clearmodifiers alt+f
sleep 0.3
xdotool key x
wait_for 10 bash -c "! kill -0 $app" || fail "the program did not end after File > Exit"
echo "PASS: pasted, decoded to the expected text, and exited"
