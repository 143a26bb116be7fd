#!/bin/bash
# Starts the game in a real window on a virtual display (Xvfb) with a window
# manager (openbox) many times, asks the window manager to close the window
# (wmctrl: the close a title-bar button or Alt+F4 gives) in one of the
# title's first frames, and counts the closes that were lost: the game still
# running 10 s later.
#
#   scripts/close_count.sh [runs] [build folder]   (default 100, build/release)
#
# The title's first frame is the first to read input; the game's counters
# (KELVO_COUNTERS) tell when it came, and the close is sent 0 to 12 frames
# after it. Each run prints the frame of the close and how long the game took
# to end; a lost close prints LOST.
set -euo pipefail
self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
runs="${1:-100}"
build="$(cd "${2:-$(dirname "$0")/../build/release}" && pwd)"
if [ -z "${KELVO_IN_XVFB:-}" ]; then
    folder="$(mktemp -d)"
    trap 'rm -rf "$folder"' EXIT
    "$build/datagen" "$folder" >/dev/null
    KELVO_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" "$self" "$runs" "$build" "$folder"
    exit
fi
folder="$3"
cd "$folder"
counters="$folder/counters"
openbox >/dev/null 2>&1 &
wm=$!
pid=
trap 'kill "$wm" 2>/dev/null || true; [ -z "$pid" ] || kill "$pid" 2>/dev/null || true' EXIT
until wmctrl -m >/dev/null 2>&1; do sleep 0.05; done

# presented, first-input of the counters file (see run_counters.cpp).
read_counters() {
    local a b c d
    [ -f "$counters" ] || return 1
    { read -r _ a; read -r _ b; read -r _ c; read -r _ d; } <"$counters" || return 1
    [[ "$a" =~ ^[0-9]+$ && "$d" =~ ^-?[0-9]+$ ]] || return 1
    presented=$a first_input=$d
}

lost=0
for ((run = 1; run <= runs; run++)); do
    rm -f "$counters"
    KELVO_PLATFORM=sdl KELVO_COUNTERS="$counters" "$build/kelvo" >"game$run.log" 2>&1 &
    pid=$!
    window=
    while [ -z "$window" ] && kill -0 "$pid" 2>/dev/null; do
        window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -1) || true
        [ -n "$window" ] || sleep 0.05
    done
    after=$((RANDOM % 13))
    until read_counters && [ "$first_input" -ge 0 ] && [ "$presented" -ge $((first_input + after)) ]; do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.004
    done
    at=$((presented - first_input))
    start=$(date +%s%N)
    wmctrl -i -c "$window"
    while kill -0 "$pid" 2>/dev/null && [ $(($(date +%s%N) - start)) -lt 10000000000 ]; do sleep 0.02; done
    if kill -0 "$pid" 2>/dev/null; then
        lost=$((lost + 1))
        echo "run $run: close at title frame $at LOST"
        kill "$pid"
        wait "$pid" 2>/dev/null || true
    else
        wait "$pid" || echo "run $run: the game exited with status $?"
        echo "run $run: close at title frame $at, ended after $((($(date +%s%N) - start) / 1000000)) ms"
        rm -f "game$run.log"
    fi
    pid=
done
echo "$runs starts, closed in the title's first frames: $lost lost"
