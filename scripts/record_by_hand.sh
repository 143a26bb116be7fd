#!/bin/bash
# Plays a short run of the game in a real window on a virtual display, by key
# presses (xdotool), with KELVO_RECORD on; then replays the recording headless
# and compares the save files of the two runs.
#
#   scripts/record_by_hand.sh <folder>     (needs a release build, xvfb-run, xdotool)
#
# <folder> gets a fresh data set, the recording (keys.txt), the save files of
# the window run (window-saves/), a screenshot of the window in field play
# (window.png) and the frame hashes of both runs (every 10th frame).
#
# The run: past the loading screen, the title, GAME MODE, the first slot and
# NORMAL; a walk to the right, a jump, another walk; then the system menu's
# EXIT (it saves) and the main menu's EXIT. Keys are pressed when the game has
# presented enough frames, read from its frame-hash file, so the run does not
# depend on the machine's speed.
set -euo pipefail
self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
build="$(cd "$(dirname "$0")/../build/release" && pwd)"
mkdir -p "$1"
cd "$1"
if [ -z "${KELVO_IN_XVFB:-}" ]; then
    rm -rf savedata window-saves keys.txt window-hashes.txt headless-hashes.txt
    "$build/datagen" . >/dev/null
    KELVO_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" "$self" "$PWD"
    cp -r savedata window-saves
    rm -rf savedata
    "$build/datagen" . >/dev/null
    KELVO_PLATFORM=headless KELVO_INPUT=keys.txt KELVO_FRAMES=1000000 KELVO_FRAME_HASHES=headless-hashes.txt \
        KELVO_CAPTURE_EVERY=10 "$build/kelvo" >/dev/null 2>&1
    same=yes
    for f in window-saves/*; do cmp -s "$f" "savedata/$(basename "$f")" || same=no; done
    [ "$(ls window-saves)" = "$(ls savedata)" ] || same=no
    echo "recorded $(grep -v '^#' keys.txt | awk '{n += ($1 ~ /\*$/) ? $1 + 0 : 1} END {print n}') frames;" \
        "the headless replay left the same save files: $same"
    echo "frame hashes alike from frame $(diff window-hashes.txt headless-hashes.txt | grep '^<' | tail -1 |
        awk '{print $2 + 10}') on (the loading screen follows the real clock)"
    [ "$same" = yes ]
    exit
fi

KELVO_PLATFORM=sdl KELVO_RECORD=keys.txt KELVO_FRAME_HASHES=window-hashes.txt KELVO_CAPTURE_EVERY=10 \
    SDL_AUDIODRIVER=dummy "$build/kelvo" >window.log 2>&1 &
pid=$!
frames() { tail -1 window-hashes.txt 2>/dev/null | cut -d' ' -f1; }
# Waits until `n` more frames have been presented.
wait_frames() {
    local until=$(($(frames || echo 0) + $1))
    while kill -0 "$pid" 2>/dev/null; do
        [ "$(frames || echo 0)" -ge "$until" ] && return
        sleep 0.01
    done
}
press() { xdotool keydown "$1"; wait_frames 20; xdotool keyup "$1"; wait_frames 20; }
hold() { xdotool keydown "$1"; wait_frames "$2"; xdotool keyup "$1"; wait_frames 10; }
until [ -s window-hashes.txt ]; do sleep 0.05; done
window=$(xdotool search --sync --onlyvisible --pid "$pid" | head -1)
# No window manager: the keyboard follows the pointer.
xdotool mousemove --window "$window" 320 240
xdotool windowfocus --sync "$window"
wait_frames 400                          # past the loading screen to the title
press x; press x; press x; press x       # title, GAME MODE, the first slot, NORMAL
wait_frames 420                          # QUEST START
hold Right 300; press x; hold Right 200  # walk, jump, walk
! command -v import >/dev/null || import -window "$window" window.png
press Escape; press Up; press x          # system menu: EXIT saves, back to the main menu
wait_frames 400
press Up; press x                        # main menu: EXIT
wait "$pid"
