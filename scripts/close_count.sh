#!/bin/bash
# Starts the game in a real window on a virtual display (Xvfb) many times,
# closes it in one of the title's first frames, and counts the closes that
# were lost: the game still running some seconds later.
#
#   scripts/close_count.sh [--no-wm] [runs] [build folder]   (default 100, build/release)
#
# With a window manager (openbox), the default, the close is asked of it
# (_NET_CLOSE_WINDOW, as wmctrl -c does: the close a title-bar button or
# Alt+F4 gives) and the game has 10 s to end. With --no-wm there is none, and
# the window gets WM_DELETE_WINDOW itself, as a window manager sends it; the
# game has 5 s.
#
# The game's counters (KELVO_COUNTERS) tell the frame of the title's first
# input read and the frame at which the close reached the game. The close
# comes from a small sender started before the title (python3 over libX11),
# which watches the counters and sends 0 to 24 frames into the title: wmctrl
# itself takes some 50 frames to start on a busy machine. Each run prints the
# title frame at which the close was sent and arrived and how long the game
# then took to end; a lost close prints LOST. The last line counts the closes
# that arrived within the title's first 25 frames, and the lost ones; the
# script fails when a close was lost.
set -euo pipefail
self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
mode=wm
if [ "${1:-}" = "--no-wm" ]; then
    mode=bare
    shift
fi
runs="${1:-100}"
build="$(cd "${2:-$(dirname "$0")/../build/release}" && pwd)"
. "$(dirname "$self")/in_xvfb.sh"
if [ "$mode" = wm ]; then
    kelvo_in_xvfb "$build" "$self" "$runs" "$build"
else
    kelvo_in_xvfb "$build" "$self" --no-wm "$runs" "$build"
fi
folder="$3"
cd "$folder"
counters="$folder/counters"
wm=
pid=
trap '[ -z "$wm" ] || kill "$wm" 2>/dev/null || true; [ -z "$pid" ] || kill "$pid" 2>/dev/null || true' EXIT
if [ "$mode" = wm ]; then
    openbox >/dev/null 2>&1 &
    wm=$!
    until wmctrl -m >/dev/null 2>&1; do sleep 0.05; done
    patience=10
else
    patience=5
fi

# presented, first-input and close of the counters file (run_counters.cpp).
read_counters() {
    local a b c d e
    [ -f "$counters" ] || return 1
    { read -r _ a; read -r _ b; read -r _ c; read -r _ d; read -r _ e; } <"$counters" || return 1
    [[ "$a" =~ ^[0-9]+$ && "$d" =~ ^-?[0-9]+$ && "$e" =~ ^-?[0-9]+$ ]] || return 1
    presented=$a first_input=$d close=$e
}

# Closes window $1 once the counters file $2 says the title has presented $3
# frames, through the window manager (mode wm) or straight to the window
# (bare); prints the title frame it was sent at.
close_sender() {
    python3 - "$@" <<'PY'
import ctypes, sys, time
window, path, after, mode = int(sys.argv[1]), sys.argv[2], int(sys.argv[3]), sys.argv[4]
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("l", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]
display = x.XOpenDisplay(None)
if not display:
    sys.exit("no display")
def counters():
    try:
        values = [line.split()[1] for line in open(path)]
        return int(values[0]), int(values[3])
    except (OSError, IndexError, ValueError):
        return -1, -1
while counters()[0] < 200:  # the loading screen presents some 265 frames
    time.sleep(0.01)
while True:  # its last frames watched without a pause
    presented, first_input = counters()
    if first_input >= 0 and presented >= first_input + after:
        break
if mode == "wm":
    event = ClientMessage(type=33, send_event=1, window=window, format=32,
                          message_type=x.XInternAtom(display, b"_NET_CLOSE_WINDOW", 0))
    event.l[1] = 2  # from a pager or script, as wmctrl says
    x.XSendEvent(display, x.XDefaultRootWindow(display), 0, (1 << 19) | (1 << 20), ctypes.byref(event))
else:
    event = ClientMessage(type=33, send_event=1, window=window, format=32,
                          message_type=x.XInternAtom(display, b"WM_PROTOCOLS", 0))
    event.l[0] = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    x.XSendEvent(display, window, 0, 0, ctypes.byref(event))  # no mask: to the window's own client
x.XSync(display, 0)
print(presented - first_input)
PY
}

lost=0 early=0
for ((run = 1; run <= runs; run++)); do
    rm -f "$counters"
    KELVO_PLATFORM=sdl KELVO_COUNTERS="$counters" "$build/kelvo" >"game$run.log" 2>&1 &
    pid=$!
    window=
    while [ -z "$window" ] && kill -0 "$pid" 2>/dev/null; do
        window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -1) || true
        [ -n "$window" ] || sleep 0.05
    done
    close_sender "$window" "$counters" $((RANDOM % 25)) "$mode" >sent 2>&1 &
    sender=$!
    while kill -0 "$sender" 2>/dev/null && kill -0 "$pid" 2>/dev/null; do sleep 0.02; done
    start=$(date +%s%N)
    while kill -0 "$pid" 2>/dev/null && [ $(($(date +%s%N) - start)) -lt $((patience * 1000000000)) ]; do
        sleep 0.02
    done
    kill "$sender" 2>/dev/null || true
    wait "$sender" 2>/dev/null || true
    read_counters || true
    if [ "$close" -ge 0 ] && [ "$first_input" -ge 0 ]; then
        at=$((close - first_input))
        [ "$at" -ge 0 ] && [ "$at" -le 24 ] && early=$((early + 1))
        where="sent at title frame $(cat sent), the close arrived at title frame $at"
    elif [ "$close" -ge 0 ]; then
        where="the close arrived at frame $close, before the title"
    else
        where="no close arrived ($(cat sent))"
    fi
    if kill -0 "$pid" 2>/dev/null; then
        lost=$((lost + 1))
        echo "run $run: $where; LOST"
        kill "$pid"
        wait "$pid" 2>/dev/null || true
    else
        wait "$pid" || echo "run $run: the game exited with status $?"
        echo "run $run: $where; the game ended $((($(date +%s%N) - start) / 1000000)) ms after"
        rm -f "game$run.log"
    fi
    pid=
done
echo "$runs starts, $early closes arrived within the title's first 25 frames; $lost closes lost"
[ "$lost" -eq 0 ]
