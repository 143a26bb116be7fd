#!/bin/bash
# Starts the game in a real window on a virtual display (Xvfb) with a window
# manager (openbox) many times, asks the window manager to close the window
# (wmctrl: the close a title-bar button or Alt+F4 gives) so that the close
# reaches the game in one of the title's first frames, and counts the closes
# that were lost: the game still running 10 s later.
#
#   scripts/close_count.sh [runs] [build folder]   (default 100, build/release)
#
# The game's counters (KELVO_COUNTERS) tell the frame of the title's first
# input read and the frame at which the close reached the game. Asking the
# window manager takes a while (starting wmctrl, a round trip to it), so each
# run asks that many frames before the title, learnt from the runs before, and
# a few frames more at random. Each run prints the title frame at which the
# close arrived and how long the game then took to end; a lost close prints
# LOST. The last line counts the closes that arrived within the title's first
# 12 frames, and the lost ones.
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

# presented, first-input and close of the counters file (run_counters.cpp).
read_counters() {
    local a b c d e
    [ -f "$counters" ] || return 1
    { read -r _ a; read -r _ b; read -r _ c; read -r _ d; read -r _ e; } <"$counters" || return 1
    [[ "$a" =~ ^[0-9]+$ && "$d" =~ ^-?[0-9]+$ && "$e" =~ ^-?[0-9]+$ ]] || return 1
    presented=$a first_input=$d close=$e
}

lost=0 early=0
title=267 lead=40  # the title's first frame and the close's delay in frames, as the runs find them
for ((run = 1; run <= runs; run++)); do
    rm -f "$counters"
    KELVO_PLATFORM=sdl KELVO_COUNTERS="$counters" "$build/kelvo" >"game$run.log" 2>&1 &
    pid=$!
    window=
    while [ -z "$window" ] && kill -0 "$pid" 2>/dev/null; do
        window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -1) || true
        [ -n "$window" ] || sleep 0.05
    done
    ask=$((title - lead + RANDOM % 9))
    until read_counters && [ "$presented" -ge $((ask - 20)) ]; do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.01
    done
    # The last frames are watched without a pause.
    until read_counters && [ "$presented" -ge "$ask" ]; do kill -0 "$pid" 2>/dev/null || break; done
    asked=$presented
    start=$(date +%s%N)
    wmctrl -i -c "$window"
    while kill -0 "$pid" 2>/dev/null && [ $(($(date +%s%N) - start)) -lt 10000000000 ]; do sleep 0.02; done
    read_counters || true
    [ "$first_input" -ge 0 ] && title=$first_input
    if [ "$close" -ge 0 ]; then
        lead=$(((lead + close - asked + 1) / 2))
        at=$((close - first_input))
        [ "$first_input" -ge 0 ] && [ "$at" -ge 0 ] && [ "$at" -le 12 ] && early=$((early + 1))
        where="the close arrived at title frame $at"
    else
        where="no close arrived (asked at frame $asked, the title at $first_input)"
    fi
    if kill -0 "$pid" 2>/dev/null; then
        lost=$((lost + 1))
        echo "run $run: $where; LOST"
        kill "$pid"
        wait "$pid" 2>/dev/null || true
    else
        wait "$pid" || echo "run $run: the game exited with status $?"
        echo "run $run: $where; the game ended $((($(date +%s%N) - start) / 1000000)) ms after the request"
        rm -f "game$run.log"
    fi
    pid=
done
echo "$runs starts, $early closes arrived within the title's first 12 frames; $lost closes lost"
