#!/usr/bin/env bash
# Capture on a Wayland session, as a person's desktop runs it: the program
# natively on weston (QT_QPA_PLATFORM=wayland), the screenshot portal a
# stand-in of our own on a private session bus. `zorvik --capture-desktop`
# gets the stand-in's picture and, with the one-step option, reads its
# symbol: the result window shows the text (selected and copied as a person
# would, read back with wl-paste), and the portal's file is gone. Until the portal has given a picture without asking, the first
# request goes while the window is shown (two requests), later ones and
# those the permission store allows go straight (one); a denial, a
# cancellation and a missing portal each say so.
#
# weston runs with its X11 backend inside Xvfb, not headless: the headless
# backend of weston 10 has no seat, and without a seat there is no Wayland
# clipboard, which the capture goes through and the test reads, nor a
# keyboard to copy with. The keys come through Xvfb (xdotool) into weston.
# (Weston takes a new clipboard entry only after new input, so the text the
# program adds beside the picture by itself cannot be read here.)
#
# usage: WaylandPortalTest.sh ZORVIK ZORVIK_CLI PICTURE
set -euo pipefail

zorvik=$1 cli=$2 picture=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../x11/XServer.sh"
start_x_server 241 290 # weston's window and input devices

# --- The session: weston and a private bus ---
export WAYLAND_DISPLAY=zorvik-test-wayland
weston --backend=x11-backend.so --use-pixman --no-config --socket="$WAYLAND_DISPLAY" \
    --width=1024 --height=768 --idle-time=0 >"$work/weston.log" 2>&1 &
pids+=($!)
wait_for 20 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || fail "weston did not start: $(cat "$work/weston.log")"
# Its window keeps the X focus from now on: weston hands the keys on to the
# Wayland window it has focused, the one that opened last.
wait_for 10 xdotool search --class "Weston Compositor" windowactivate --sync ||
    fail "weston's window cannot be focused"

cat >"$work/bus.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$work/bus</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
dbus-daemon --config-file="$work/bus.conf" --nofork --nopidfile >"$work/bus.log" 2>&1 &
pids+=($!)
wait_for 10 test -S "$work/bus" || fail "the private bus did not start: $(cat "$work/bus.log")"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
export XDG_SESSION_TYPE=wayland QT_QPA_PLATFORM=wayland LANGUAGE=ja
export QT_LOGGING_RULES="zorvik.capture.info=true"
x_display=$DISPLAY
unset DISPLAY # the program and wl-paste speak Wayland only

# --- The stand-in portal ---
mkdir "$work/out"
echo picture >"$work/mode"
standin=
start_standin() { # [STORE_ALLOWS]
    local env=(STANDIN_MODE_FILE="$work/mode" STANDIN_PICTURE="$work/desktop.png"
               STANDIN_OUT="$work/out" STANDIN_LOG="$work/standin.log")
    [ $# -gt 0 ] && env+=(STANDIN_STORE="$1")
    : >"$work/standin.log"
    env "${env[@]}" /usr/bin/python3 "$here/PortalStandIn.py" >>"$work/standin.err" 2>&1 &
    standin=$!
    pids+=($standin)
    wait_for 10 grep -qx ready "$work/standin.log" ||
        fail "the stand-in portal did not start: $(cat "$work/standin.err")"
}
stop_standin() { kill "$standin"; wait "$standin" 2>/dev/null || true; }
requests() { grep -c '^request ' "$work/standin.log" || true; }
requests_are() { [ "$(requests)" = "$1" ]; }

# A screen picture with the symbol near its far corner: found, not pasted whole.
expected=$("$cli" "$picture") || fail "the command-line decoder cannot read $picture"
convert -size 1024x768 xc:'#3366cc' \( "$picture" -scale 300% \) -geometry +760+520 -composite \
    "$work/desktop.png"

# --- The program: a copy with the one-step option beside it ---
cp "$zorvik" "$work/zorvik"
printf '[Beyond]\nDecodeSingleSymbol=1\n' >"$work/zorvik.conf"
app=
start_zorvik() { # ARGS...
    "$work/zorvik" "$@" >>"$work/zorvik.log" 2>&1 &
    app=$!
    pids+=($app)
}
stop_zorvik() { kill "$app"; wait "$app" 2>/dev/null || true; }
# The program's running copy takes a later start's request.
capture_again() { timeout 20 "$work/zorvik" --capture-desktop || fail "the forwarded capture ended with $?"; }
noted() { [ "$(grep -c "capture note: $1\$" "$work/zorvik.log")" = 1 ]; }
clear_clipboard() { wl-copy cleared; }
# The focused window's text, selected and copied with the keyboard: the
# result window's text box once it is open. The keys wait for the portal's
# answers (N requests in all): keys while windows come and go can leave
# weston with no window focused.
decoded_after() { # N
    wait_for 20 requests_are "$1" || return 1
    sleep 1
    wait_for 20 decoded
}
decoded() {
    DISPLAY=$x_display xdotool key --clearmodifiers ctrl+a ctrl+c
    sleep 0.3
    [ "$(timeout 5 wl-paste --no-newline --type text/plain 2>/dev/null)" = "$expected" ]
}
no_files_left() { [ -z "$(ls -A "$work/out")" ]; }
log_tail() { echo "($(tail -5 "$work/zorvik.log" | tr '\n' ' ') / stand-in: $(tr '\n' ' ' <"$work/standin.log"))"; }

# 1. The first capture: asked while shown, then again minimised; both files go.
start_standin
start_zorvik --capture-desktop
decoded_after 2 || fail "the capture was not decoded $(log_tail)"
[ "$(requests)" = 2 ] || fail "$(requests) requests for the first capture, expected 2 $(log_tail)"
grep -q '^request interactive=0 parent= answer=picture$' "$work/standin.log" ||
    fail "not a non-interactive request without a parent $(log_tail)"
wait_for 5 no_files_left || fail "the portal's files are left: $(ls "$work/out")"

# 2. The next capture of the same run goes straight: one request.
clear_clipboard
capture_again
decoded_after 3 || fail "the second capture was not decoded $(log_tail)"
[ "$(requests)" = 3 ] || fail "$(requests) requests after the second capture, expected 3"
wait_for 5 no_files_left || fail "the portal's file is left: $(ls "$work/out")"

# 3. A denial (1) and a cancellation (2), each with its own note.
echo deny >"$work/mode"
capture_again
wait_for 20 noted '画面のキャプチャが拒否されました' ||
    fail "no note of the denial $(log_tail)"
echo cancel >"$work/mode"
capture_again
wait_for 20 noted '画面のキャプチャが取り消されたか失敗しました（許可の設定を確認してください）' ||
    fail "no note of the cancellation $(log_tail)"

# 4. No portal: said at once, without a request or a wait for one.
stop_standin
capture_again
wait_for 10 noted 'この環境では画面をキャプチャできません' ||
    fail "no note of the missing portal within 10 s $(log_tail)"
stop_zorvik

# 5. A fresh run whose permission the store holds: one request at once.
echo picture >"$work/mode"
start_standin "" # the id the portal gives a program started from a shell
clear_clipboard
start_zorvik --capture-desktop
decoded_after 1 || fail "the capture with a stored permission was not decoded $(log_tail)"
[ "$(requests)" = 1 ] || fail "$(requests) requests with a stored permission, expected 1 $(log_tail)"
wait_for 5 no_files_left || fail "the portal's file is left: $(ls "$work/out")"
stop_zorvik

echo "PASS: the Wayland capture goes through the portal, asks while shown until allowed, reads the symbol, removes the file, and tells denial, cancellation and a missing portal apart"
