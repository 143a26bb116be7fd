#!/bin/bash
# How long the game takes from the start of its process to the first frame
# of the title, run headless several times: prints each run and the median.
#
#   scripts/startup_time.sh [runs]     (default 7; needs a release build)
#
# A run presents twice while the framework starts (it clears both screens),
# 264 times in the loading screen, then the title's first frame, and ends
# there. The time of that frame is taken from the moment its capture file was
# written.
set -euo pipefail
cd "$(dirname "$0")/../build/release"
runs="${1:-7}"
first_title_frame=267
capture="$(mktemp -d)"
trap 'rm -rf "$capture"' EXIT

times=()
for ((i = 1; i <= runs; i++)); do
    rm -f "$capture"/*.png
    start=$(date +%s%N)
    env -u KELVO_INPUT KELVO_PLATFORM=headless KELVO_FRAMES=$first_title_frame \
        KELVO_CAPTURE="$capture" KELVO_CAPTURE_EVERY=$first_title_frame ./kelvo >/dev/null 2>&1
    frame="$capture/frame000$first_title_frame.png"
    if [ ! -f "$frame" ]; then
        echo "run $i: the title's first frame was not presented" >&2
        exit 1
    fi
    shown=$(stat -c %.9Y "$frame" | tr -d .)
    ms=$(((shown - start) / 1000000))
    times+=("$ms")
    echo "run $i: ${ms} ms"
done
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }')
echo "median of $runs runs: ${median} ms (process start to the title's first frame)"
