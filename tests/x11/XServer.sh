# Sourced by the X server tests: a private Xvfb with openbox, helpers to
# wait and fail, and clean-up of everything started on exit.
# Sets work (a scratch folder) and DISPLAY; add started processes to pids.

work=$(mktemp -d)
# A runtime folder of its own: the program's one-per-display socket lives
# there and goes with the rest, also when the program is killed.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# The documented Japanese texts, whatever language the caller's desktop has.
export LANGUAGE=ja
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

# start_x_server FIRST LAST: a 1280 x 800 screen on a display number from
# FIRST to LAST that nobody uses, with openbox as its window manager.
start_x_server() {
    local n display=
    for n in $(seq "$1" "$2"); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || { display=":$n"; break; }
    done
    [ -n "$display" ] || fail "no free display number"
    export DISPLAY=$display
    # An X11 session, also when the tests run from a Wayland desktop.
    export XDG_SESSION_TYPE=x11
    unset WAYLAND_DISPLAY
    # -noreset: the server must not restart when a helper client disconnects.
    Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    wait_for 10 xdpyinfo || fail "Xvfb did not start"
    openbox >"$work/openbox.log" 2>&1 &
    pids+=($!)
    wait_for 10 xprop -root _NET_SUPPORTING_WM_CHECK || fail "openbox did not start"
}

# The text of a result window's text box, selected and copied as a person
# would.
result_text() {
    local X Y WIDTH HEIGHT SCREEN WINDOW
    eval "$(xdotool getwindowgeometry --shell "$1")"
    xdotool mousemove --sync $((X + 100)) $((Y + 300)) click 1
    sleep 0.2
    xdotool key ctrl+a ctrl+c
    sleep 0.3
    xclip -selection clipboard -o -t UTF8_STRING 2>/dev/null || true
}
