#!/bin/bash
# Installs what is missing, builds what the game needs in a release build
# (the game, its data generator and the data set; ./test.sh builds the tests,
# benchmarks and tools) and starts the game.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/packages.sh
kelvo_install_packages

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)" --target kelvo gamedata

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${KELVO_PLATFORM:-}" ]; then
    capture="${KELVO_CAPTURE:-$PWD/build/frames}"
    mkdir -p "$capture"
    echo "No display here: running the game headless for ${KELVO_FRAMES:-2000} frames; frames go to $capture"
    cd build/release
    KELVO_PLATFORM=headless KELVO_CAPTURE="$capture" exec ./kelvo
fi
cd build/release
exec ./kelvo
