#!/bin/bash
# Starts the game in a real window on a virtual display (Xvfb) with a window
# manager (openbox) many times, asks the window manager to close the window
# (_NET_CLOSE_WINDOW, as wmctrl -c does: the close a title-bar button or
# Alt+F4 gives) in one of the title's first frames, and counts the closes
# that were lost: the game still running 10 s later.
#
#   scripts/close_count.sh [runs] [build folder]   (default 100, build/release)
#
# The game's counters (KELVO_COUNTERS) tell the frame of the title's first
# input read and the frame at which the close reached the game. The request
# goes from a small sender started before the title (python3 over libX11),
# which watches the counters and asks 0 to 8 frames into the title: wmctrl
# itself takes some 50 frames to start on a busy machine. Each run prints the
# title frame at which the close arrived and how long the game then took to
# end; a lost close prints LOST. The last line counts the closes that arrived
# within the title's first 12 frames, and the lost ones.
set -euo pipefail
self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
runs="${1:-100}"
build="$(cd "${2:-$(dirname "$0")/../build/release}" && pwd)"
. "$(dirname "$self")/in_xvfb.sh"
kelvo_in_xvfb "$build" "$self" "$runs" "$build"
folder="$3"
cd "$folder"
counters="$folder/counters"
openbox >/dev/null 2>&1 &
wm=$!
pid=
trap 'kill "$wm" 2>/dev/null || true; [ -z "$pid" ] || kill "$pid" 2>/dev/null || true' EXIT
until wmctrl -m >/dev/null 2>&1; do sleep 0.05; done

# presented, first-input and close of the counters file (run_counters.cpp).
read_counters() {
    local a b c d e
    [ -f "$counters" ] || return 1
    { read -r _ a; read -r _ b; read -r _ c; read -r _ d; read -r _ e; } <"$counters" || return 1
    [[ "$a" =~ ^[0-9]+$ && "$d" =~ ^-?[0-9]+$ && "$e" =~ ^-?[0-9]+$ ]] || return 1
    presented=$a first_input=$d close=$e
}

# Asks the window manager to close window $1 once the counters file $2 says
# the title has presented $3 frames; prints the frames presented then.
close_sender() {
    python3 - "$@" <<'PY'
import ctypes, sys
window, path, after = int(sys.argv[1]), sys.argv[2], int(sys.argv[3])
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
x.XFlush.argtypes = [ctypes.c_void_p]
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
import time
while counters()[0] < 200:  # the loading screen presents some 265 frames
    time.sleep(0.01)
while True:  # its last frames watched without a pause
    presented, first_input = counters()
    if first_input >= 0 and presented >= first_input + after:
        break
event = ClientMessage(type=33, send_event=1, window=window, format=32,
                      message_type=x.XInternAtom(display, b"_NET_CLOSE_WINDOW", 0))
event.l[1] = 2  # from a pager or script, as wmctrl says
x.XSendEvent(display, x.XDefaultRootWindow(display), 0, (1 << 19) | (1 << 20), ctypes.byref(event))
x.XFlush(display)
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
    close_sender "$window" "$counters" $((RANDOM % 9)) >sent 2>&1 &
    sender=$!
    while kill -0 "$sender" 2>/dev/null && kill -0 "$pid" 2>/dev/null; do sleep 0.02; done
    start=$(date +%s%N)
    while kill -0 "$pid" 2>/dev/null && [ $(($(date +%s%N) - start)) -lt 10000000000 ]; do sleep 0.02; done
    kill "$sender" 2>/dev/null || true
    wait "$sender" 2>/dev/null || true
    read_counters || true
    if [ "$close" -ge 0 ] && [ "$first_input" -ge 0 ]; then
        at=$((close - first_input))
        [ "$at" -ge 0 ] && [ "$at" -le 12 ] && early=$((early + 1))
        where="asked at title frame $(cat sent), the close arrived at title frame $at"
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
echo "$runs starts, $early closes arrived within the title's first 12 frames; $lost closes lost"
