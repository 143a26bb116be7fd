#!/bin/bash
# How fast the game presents in field play in a real window, and how many of
# those frames the display showed: the game runs full screen on a virtual
# display of 1024 x 768 (Xvfb), is taken to field play by key presses
# (xdotool), and walks right while its counters (KELVO_COUNTERS) are read.
#
#   scripts/present_rate.sh [build folder] [seconds]   (default build/release, 10)
#
# Prints the presents and the shown frames per second over the measured time,
# and the share of it the game's main thread ran. On a machine busy with other
# work that share, not the game, sets the rate; PRIORITY=-10 runs the game at
# that nice value (as root) to take the machine's load out of a comparison.
set -euo pipefail
self="$(cd "$(dirname "$0")" && pwd)/$(basename "$0")"
build="$(cd "${1:-$(dirname "$0")/../build/release}" && pwd)"
seconds="${2:-10}"
. "$(dirname "$self")/in_xvfb.sh"
kelvo_in_xvfb "$build" "$self" "$build" "$seconds"
folder="$3"
cd "$folder"
counters="$folder/counters"
SDL_AUDIODRIVER=dummy KELVO_PLATFORM=sdl KELVO_COUNTERS="$counters" nice -n "${PRIORITY:-0}" "$build/kelvo" >game.log 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

# The counters file: presented, shown, dropped, first-input (see run_counters.cpp).
read_counters() {
    local a b c d
    [ -f "$counters" ] || return 1
    { read -r _ a; read -r _ b; read -r _ c; read -r _ d; } <"$counters" 2>/dev/null || return 1
    [[ "$a" =~ ^[0-9]+$ && "$b" =~ ^[0-9]+$ && "$c" =~ ^[0-9]+$ && "$d" =~ ^-?[0-9]+$ ]] || return 1
    presented=$a shown=$b dropped=$c first_input=$d
}
alive() { kill -0 "$pid" 2>/dev/null || { echo "the game ended early; its log:" >&2; cat game.log >&2; exit 1; }; }
# Waits until `n` more frames have been presented.
wait_frames() {
    read_counters || true
    local until=$((${presented:-0} + $1))
    while alive; do
        read_counters && [ "$presented" -ge "$until" ] && return
        sleep 0.01
    done
}
press() { xdotool keydown "$1"; wait_frames 20; xdotool keyup "$1"; wait_frames 20; }

until read_counters && [ "$first_input" -ge 0 ]; do alive; sleep 0.02; done   # the title
window=$(xdotool search --sync --onlyvisible --pid "$pid" | head -1)
# No window manager: the keyboard follows the pointer.
xdotool mousemove --window "$window" 320 240
xdotool windowfocus --sync "$window"
wait_frames 30
press x; press x; press x; press x       # title, GAME MODE, the first slot, NORMAL
wait_frames 500                          # QUEST START, then the field
xdotool keydown Right
wait_frames 50
# The game's main thread: processor time in clock ticks (user + system).
main_ticks() { awk '{ print $14 + $15 }' "/proc/$pid/task/$pid/stat"; }
read_counters
p0=$presented s0=$shown d0=$dropped t0=$(date +%s%N) c0=$(main_ticks)
sleep "$seconds"
read_counters
p1=$presented s1=$shown d1=$dropped t1=$(date +%s%N) c1=$(main_ticks)
xdotool keyup Right
awk -v p=$((p1 - p0)) -v s=$((s1 - s0)) -v d=$((d1 - d0)) -v ns=$((t1 - t0)) -v c=$((c1 - c0)) -v hz="$(getconf CLK_TCK)" 'BEGIN {
    t = ns / 1e9
    printf "field play, %.1f s: %.0f presents/s, %.0f shown/s (%d presented, %d shown, %d dropped); the game thread ran %.0f%% of the time\n", t, p / t, s / t, p, s, d, 100 * c / hz / t
}'
