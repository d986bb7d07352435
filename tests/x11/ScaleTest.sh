#!/usr/bin/env bash
# The desktop program on a screen the window system scales by 1, 2 and 1.5
# (QT_SCALE_FACTOR), under a real X server: a 6000 x 6000 picture pasted
# from another program shows at actual size, one picture pixel on each
# screen pixel; a box dragged over 275 x 280 screen pixels saves 275 x 280
# pixels of the picture; the menu bar and the toolbar grow with the scale.
#
# usage: ScaleTest.sh ZORVIK
set -euo pipefail

zorvik=$1
source "$(dirname "$0")/XServer.sh"
start_x_server 241 290

cp "$zorvik" "$work/zorvik"
printf 'CameraSound=0\r\nDecodeAtOnce=0\r\n' >"$work/ZORVIK.ini"
printf '[Beyond]\nFindSymbols=0\n' >"$work/zorvik.conf"
differing() { compare -metric AE "$1" "$2" null: 2>&1 || true; }

# Blue, with a field of alternating black and white pixels at the corner
# (any resampling blurs it) and a magenta 10 x 10 square at (30, 30) that
# shows where the view is.
convert -size 6000x6000 xc:'#3366cc' \( -size 400x400 pattern:gray50 \) -composite \
    -fill '#ff00ff' -draw 'rectangle 30,30 39,39' "$work/big.png"

# The magenta square in the main window's picture: square="W H +X +Y".
square_shown() {
    import -window "$main" "$work/shot.png" 2>/dev/null || return 1
    square=$(convert "$work/shot.png" -fill black +opaque '#ff00ff' -trim \
        -format '%w %h %X %Y' info: 2>/dev/null) || return 1
    [ "${square%% *}" -gt 1 ]
}

declare -A view_top
for scale in 1 2 1.5; do
    QT_SCALE_FACTOR=$scale "$work/zorvik" >"$work/zorvik-$scale.log" 2>&1 &
    app=$!
    pids+=($app)
    wait_for 20 xdotool search --onlyvisible --name '^ミルカ$' ||
        fail "no main window at scale $scale ($(cat "$work/zorvik-$scale.log"))"
    main=$(xdotool search --onlyvisible --name '^ミルカ$' | head -1)

    # Pasted with Ctrl+V from another program's clipboard.
    xclip -selection clipboard -t image/png -i "$work/big.png" &
    pids+=($!)
    sleep 0.5
    xdotool windowactivate --sync "$main"
    xdotool key --clearmodifiers ctrl+v
    wait_for 30 square_shown ||
        fail "the 6000 x 6000 paste is not shown at scale $scale ($(cat "$work/zorvik-$scale.log"))"
    read -r w h x y <<<"$square"
    [ "$w $h" = "10 10" ] || fail "at scale $scale the 10 x 10 square is shown $w x $h"
    vx=$((${x#+} - 30)) vy=$((${y#+} - 30))
    view_top[$scale]=$vy
    convert "$work/shot.png" -crop "300x200+$((vx + 40))+$((vy + 40))" +repage "$work/shown.png"
    convert "$work/big.png" -crop 300x200+40+40 +repage "$work/expected.png"
    [ "$(differing "$work/shown.png" "$work/expected.png")" = "0" ] ||
        fail "at scale $scale the view differs from the picture in $(differing "$work/shown.png" "$work/expected.png") pixels"

    # A box dragged over 275 x 280 screen pixels in box mode (a double
    # click switches to it), saved through ファイル > 選択範囲を保存.
    eval "$(xwininfo -id "$main" | awk '/Absolute upper-left X/ {print "ax=" $4} /Absolute upper-left Y/ {print "ay=" $4}')"
    sx=$((ax + vx)) sy=$((ay + vy))
    xdotool mousemove --sync $((sx + 200)) $((sy + 150)) click --repeat 2 --delay 80 1
    sleep 0.3
    xdotool mousemove --sync $((sx + 20)) $((sy + 21)) mousedown 1
    sleep 0.1
    xdotool mousemove --sync $((sx + 150)) $((sy + 150))
    sleep 0.1
    xdotool mousemove --sync $((sx + 295)) $((sy + 301)) mouseup 1
    sleep 0.3
    xdotool key --clearmodifiers alt+f
    sleep 0.3
    xdotool key Return
    wait_for 10 xdotool search --onlyvisible --name '^ビットマップ保存$' ||
        fail "no save dialog at scale $scale"
    sleep 0.5
    xdotool type --delay 20 "$work/cut-$scale.bmp"
    xdotool key Return
    wait_for 10 test -s "$work/cut-$scale.bmp" || fail "nothing saved at scale $scale"
    sleep 0.3
    [ "$(identify -format %wx%h "$work/cut-$scale.bmp")" = "275x280" ] ||
        fail "a box over 275 x 280 screen pixels saved $(identify -format %wx%h "$work/cut-$scale.bmp") at scale $scale"
    convert "$work/big.png" -crop 275x280+20+21 +repage "$work/expected.png"
    [ "$(differing "$work/cut-$scale.bmp" "$work/expected.png")" = "0" ] ||
        fail "at scale $scale the saved box differs from the picture"

    kill "$app"
    wait "$app" 2>/dev/null || true
    wait_for 10 bash -c "! xdotool search --onlyvisible --name '^ミルカ$'" || fail "the program did not end"
done

# The menu bar and the toolbar above the view grow with the scale.
for scale in 2 1.5; do
    expected=$(awk -v s="$scale" -v t="${view_top[1]}" 'BEGIN { printf "%d", s * t + 0.5 }')
    diff=$((view_top[$scale] - expected))
    [ "${diff#-}" -le 4 ] ||
        fail "the view starts ${view_top[$scale]} pixels down at scale $scale, ${view_top[1]} at 1"
done
echo "PASS: at scales 1, 2 and 1.5 a 6000 x 6000 paste shows one picture pixel a screen pixel, a 275 x 280 box saves 275 x 280 pixels, and the view starts ${view_top[1]}, ${view_top[2]} and ${view_top[1.5]} pixels down"
