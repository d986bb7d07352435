#!/usr/bin/env bash
# The desktop program as a person uses it, under a real X server with a
# window manager: start it, put a picture on the clipboard from another
# program, paste it with the keyboard (Alt+E, then the paste item), read the
# decoded text out of the result window, and leave through File > Exit.
#
# usage: DesktopTest.sh ZORVIK ZORVIK_CLI PICTURE [SCREENSHOT_DIR]
set -euo pipefail

zorvik=$1 cli=$2 picture=$3 shots=${4:-}
source "$(dirname "$0")/XServer.sh"
start_x_server 91 140

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

shown=$(result_text "$result")
[ "$shown" = "$expected" ] || fail "the result window shows '$shown', expected '$expected'"

# File > Exit ends the program.
xdotool windowactivate --sync "$main"
xdotool key --clearmodifiers alt+f
sleep 0.3
xdotool key x
wait_for 10 bash -c "! kill -0 $app" || fail "the program did not end after File > Exit"
# On an English desktop the same program speaks English, from the
# translation beside it.
cp -r "$(dirname "$zorvik")/translations" "$work/"
LANGUAGE=en "$work/zorvik" >>"$work/zorvik.log" 2>&1 &
english=$!
pids+=($english)
# (xdotool's names match without case; the program's leader window is
# named "zorvik".)
english_title() { xdotool search --name '^zorvik$' getwindowname %@ | grep -qx ZORVIK; }
wait_for 20 english_title ||
    fail "no main window titled ZORVIK under LANGUAGE=en ($(cat "$work/zorvik.log"))"
kill "$english"
echo "PASS: pasted, decoded to the expected text, and exited; English under LANGUAGE=en"
