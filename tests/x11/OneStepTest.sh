#!/usr/bin/env bash
# Bringing pictures in and text out under a real X server, as a person does:
# Ctrl+V over the main window pastes; a decode leaves the text on the
# clipboard beside the picture; `zorvik FILE` and `zorvik --paste` hand their
# request to the program already running, so one window stays, also after
# that program was killed and its socket left behind.
#
# usage: OneStepTest.sh ZORVIK ZORVIK_CLI PICTURE [SCREENSHOT_DIR]
set -euo pipefail

zorvik=$1 cli=$2 picture=$3
source "$(dirname "$0")/XServer.sh"
start_x_server 191 240

cp "$zorvik" "$work/zorvik"
expected=$("$cli" "$picture") || fail "the command-line decoder cannot read $picture"
main_windows() { xdotool search --onlyvisible --name '^ミルカ$' 2>/dev/null | wc -l; }
result_shown() { xdotool search --onlyvisible --name 'ＱＲコード  デコード結果' >/dev/null 2>&1; }
close_result() {
    local result
    result=$(xdotool search --onlyvisible --name 'ＱＲコード  デコード結果' | head -1)
    # Through the window manager, as the user closes it (Alt+F4 in openbox).
    xdotool windowactivate --sync "$result" key --clearmodifiers alt+F4
    wait_for 10 bash -c "! xdotool search --onlyvisible --name 'ＱＲコード  デコード結果'" ||
        fail "the result window did not close"
}
copy_picture() {
    xclip -selection clipboard -t image/png -i "$1" &
    pids+=($!)
    sleep 0.5
}
start_zorvik() {
    "$work/zorvik" "$@" >>"$work/zorvik.log" 2>&1 &
    app=$!
    pids+=($app)
    wait_for 20 xdotool search --onlyvisible --name '^ミルカ$' ||
        fail "no main window ($(cat "$work/zorvik.log"))"
    main=$(xdotool search --onlyvisible --name '^ミルカ$' | head -1)
}

status=0
"$work/zorvik" --no-such-option 2>"$work/usage.txt" || status=$?
[ "$status" = 2 ] || fail "an unknown option ended with $status, not 2"
grep -q "unknown option --no-such-option" "$work/usage.txt" || fail "no reason for the unknown option"

start_zorvik
[ -f "$work/ZORVIK.ini" ] || fail "no settings file beside the program"
[ ! -e "$work/zorvik.conf" ] || fail "zorvik.conf was written at start-up"

# Ctrl+V over the main window pastes; the small symbol is decoded at once.
copy_picture "$picture"
xdotool windowactivate --sync "$main"
xdotool key --clearmodifiers ctrl+v
wait_for 20 result_shown || fail "no result window after Ctrl+V ($(cat "$work/zorvik.log"))"
sleep 0.5

# The clipboard offers the text (Japanese included) and still the picture.
copied=$(xclip -o -selection clipboard -t UTF8_STRING) || fail "no text on the clipboard"
[ "$copied" = "$expected" ] || fail "the clipboard offers '$copied', expected '$expected'"
xclip -o -selection clipboard -t TARGETS | grep -qx 'image/png' ||
    fail "the clipboard no longer offers the picture: $(xclip -o -selection clipboard -t TARGETS | tr '\n' ' ')"
xclip -o -selection clipboard -t image/png >"$work/kept.png"
[ "$(identify -format %wx%h "$work/kept.png")" = "$(identify -format %wx%h "$picture")" ] ||
    fail "the clipboard's picture is $(identify -format %wx%h "$work/kept.png")"
close_result

# `zorvik FILE` with a path relative to the caller's folder: the running
# program opens it (shown, not decoded), and the new process ends at once.
# The picture's blue background shows in the view where the pasted picture
# left the frame's grey.
mkdir "$work/pictures"
convert -size 640x400 xc:'#3366cc' \( "$picture" -scale 300% \) -geometry +400+200 -composite \
    "$work/pictures/far.png"
view_colour() {
    import -window "$main" "$work/view.png"
    convert "$work/view.png" -format '%[pixel:p{300,150}]' info:
}
[ "$(view_colour)" != "srgb(51,102,204)" ] || fail "the view is blue before the file is opened"
(cd "$work/pictures" && timeout 20 "$work/zorvik" far.png) || fail "zorvik FILE did not end with 0"
opened_shown() { [ "$(main_windows)" = 1 ] && [ "$(view_colour)" = "srgb(51,102,204)" ]; }
wait_for 10 opened_shown ||
    fail "the opened picture is not in the view ($(main_windows) main windows, $(view_colour) shown)"
result_shown && fail "an opened picture was decoded by itself"

# --- Outlines, Enter and Tab: found symbols picked without a drag ---
# Screen pictures made here: a desktop-like background with symbols from
# libqrencode (through python: the qrencode command may be missing).
# outlines.png goes to the screenshot folder when one is given.
symbol() { # TEXT OUT.png: 3 pixels a module, 4 modules of quiet zone
    python3 - "$1" "$work/symbol.pbm" <<'PY' || fail "libqrencode cannot encode '$1'"
import ctypes, sys
lib = ctypes.CDLL("libqrencode.so.4")
class QRcode(ctypes.Structure):
    _fields_ = [("version", ctypes.c_int), ("width", ctypes.c_int),
                ("data", ctypes.POINTER(ctypes.c_ubyte))]
lib.QRcode_encodeString.restype = ctypes.POINTER(QRcode)
lib.QRcode_encodeString.argtypes = [ctypes.c_char_p] + [ctypes.c_int] * 4
q = lib.QRcode_encodeString(sys.argv[1].encode(), 0, 1, 2, 1).contents  # any version, M, bytes
n = q.width
rows = [" ".join("1" if 0 <= x < n and 0 <= y < n and q.data[y * n + x] & 1 else "0"
                 for x in range(-4, n + 4)) for y in range(-4, n + 4)]
open(sys.argv[2], "w").write("P1\n%d %d\n%s\n" % (n + 8, n + 8, "\n".join(rows)))
PY
    convert "$work/symbol.pbm" -scale 300% "$2"
}
desktop() { # WIDTHxHEIGHT OUT.png [TEXT +X+Y]...
    local size=$1 out=$2 layers=() i=0
    shift 2
    while [ $# -gt 0 ]; do
        symbol "$1" "$work/layer$((++i)).png"
        layers+=("$work/layer$i.png" -geometry "$2" -composite)
        shift 2
    done
    convert -size "$size" gradient:'#1d3b5a'-'#3f7597' -depth 8 -fill '#f3f3f3' \
        -draw "rectangle 120,90 700,330" -fill '#2b579a' -draw "rectangle 120,66 700,90" \
        -fill black -pointsize 16 -annotate +140+120 'Build log: 12 warnings, 0 errors' \
        "${layers[@]}" "$out"
}
paste_picture() {
    copy_picture "$1"
    xdotool windowactivate --sync "$main" key --clearmodifiers ctrl+v
}
# The result window shows TEXT. The pointer leaves first: a result window
# opened where the last one was would leave result_text's synchronous move
# waiting for a motion that never comes.
expect_shown() { # TEXT WHAT
    wait_for 20 result_shown || fail "no result window $2 ($(cat "$work/zorvik.log"))"
    xdotool mousemove 0 0
    sleep 0.1
    local shown
    shown=$(result_text "$(xdotool search --onlyvisible --name 'ＱＲコード  デコード結果' | head -1)")
    [ "$shown" = "$1" ] || fail "the result window shows '$shown' $2, expected '$1'"
    close_result
}
# Enter until the search has outlined the symbol, then its text.
expect_after_enter() { # TEXT WHAT
    for _ in $(seq 40); do
        xdotool windowactivate --sync "$main" key Return
        sleep 0.5
        result_shown && break
    done
    expect_shown "$@"
}

expect_after_enter "$expected" "after Enter on the opened picture"

# A 2560 x 1440 screen picture, one small symbol near its far corner.
desktop 2560x1440 "$work/far.png" "遠くのQRコード far corner" +2200+1180
paste_picture "$work/far.png"
expect_after_enter "遠くのQRコード far corner" "after Ctrl+V and Enter"

# Three symbols in view: each outlined (the first in the focus colour,
# orange, the others blue); Tab, Tab, Enter decodes the third.
desktop 800x400 "$work/three.png" "symbol 1" +40+40 "symbol 2" +330+110 "symbol 3" +620+180
paste_picture "$work/three.png"
eval "$(xdotool getwindowgeometry --shell "$main")"
outlined() {
    import -window root "$work/outlined.png"
    local x y colour
    for at in 40,40,#ff7800 330,110,#006ee6 620,180,#006ee6; do
        IFS=, read -r x y colour <<<"$at"
        # Around the symbol, in the view below the menu bar and toolbar.
        [ "$(convert "$work/outlined.png" -crop 130x130+$((X + x - 10))+$((Y + 50 + y - 20)) \
            +repage -fuzz 12% -fill black +opaque "$colour" -fill white -opaque "$colour" \
            -format '%[fx:round(mean*w*h)]' info:)" -gt 100 ] || return 1
    done
}
wait_for 20 outlined || fail "the three symbols are not outlined, the first focused"
[ -n "${4:-}" ] && import -window "$main" -frame "$4/outlines.png"
xdotool windowactivate --sync "$main" key Tab Tab Return
expect_shown "symbol 3" "after Tab, Tab, Enter"

# Picture A, then at once picture B: B's outlines stay.
desktop 3840x2160 "$work/a.png" "picture A" +3500+1900
desktop 2560x1440 "$work/b.png" "picture B" +1900+1000
paste_picture "$work/a.png"
paste_picture "$work/b.png"
expect_after_enter "picture B" "after pictures A and B"

# The one-step option, read at start from zorvik.conf beside the program:
# the lone symbol goes to the result window with no Enter. The file goes
# again for the next start.
printf '[Beyond]\nDecodeSingleSymbol=1\n' >"$work/zorvik.conf"
xdotool windowactivate --sync "$main" key --clearmodifiers alt+f
sleep 0.3
xdotool key x
wait_for 10 bash -c "! kill -0 $app" || fail "the program did not end after File > Exit"
start_zorvik
paste_picture "$work/far.png"
expect_shown "遠くのQRコード far corner" "with the one-step option"
rm "$work/zorvik.conf"
# --- End of the outline steps.

# Two `zorvik --paste` at once leave one window, and the paste runs there.
copy_picture "$picture"
"$work/zorvik" --paste >>"$work/zorvik.log" 2>&1 &
first=$!
"$work/zorvik" --paste >>"$work/zorvik.log" 2>&1 &
second=$!
wait "$first" || fail "the first zorvik --paste ended with $?"
wait "$second" || fail "the second zorvik --paste ended with $?"
wait_for 20 result_shown || fail "no result window after zorvik --paste ($(cat "$work/zorvik.log"))"
[ "$(main_windows)" = 1 ] || fail "$(main_windows) main windows after two zorvik --paste"
kill -0 "$app" || fail "the first program ended"

# A killed program leaves its socket; the next start takes over.
disown "$app" # no job notice for the kill
kill -9 "$app"
wait_for 10 bash -c "! xdotool search --onlyvisible --name '^ミルカ$'" || fail "the killed window stayed"
start_zorvik
copy_picture "$picture"
timeout 20 "$work/zorvik" --paste || fail "zorvik --paste to the new program ended with $?"
wait_for 20 result_shown || fail "no result window after the takeover ($(cat "$work/zorvik.log"))"
[ "$(main_windows)" = 1 ] || fail "$(main_windows) main windows after the takeover"
echo "PASS: Ctrl+V, zorvik FILE and zorvik --paste bring pictures in; the text joins the picture on the clipboard; one window per display"
