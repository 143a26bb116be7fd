#!/bin/bash
# Installs what is missing, builds, and runs every test: once in a release
# build and once with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/packages.sh
kelvo_install_packages

jobs=$(nproc)
# Reuse objects across build folders and checkouts when ccache is there.
if command -v ccache >/dev/null && [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ]; then
    export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
    # Paths inside the checkout count as relative, so another checkout hits.
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
fi
status=0

echo "== layout"
python3 scripts/check_layout.py || status=1

echo "== release build and tests"
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$jobs"
(cd build/release && ctest -j "$jobs" --output-on-failure --timeout 300) || status=1

# The window tests need a display: a virtual one where xvfb-run is there.
if command -v xvfb-run >/dev/null && [ -x build/release/test_integration ]; then
    echo "== window tests on a virtual display"
    xvfb-run -a -s "-screen 0 1024x768x24" env KELVO_PLATFORM=sdl build/release/test_integration \
        --gtest_brief=1 || status=1
    # Again on a display without OpenGL (GLX), where the window is drawn in
    # software; the tests that start X servers of their own have run both.
    echo "== window tests on a virtual display without OpenGL"
    xvfb-run -a -s "-screen 0 1024x768x24 -extension GLX" env KELVO_PLATFORM=sdl build/release/test_integration \
        --gtest_brief=1 --gtest_filter='Sdl*:-SdlWindowCount.*:SdlDisplayLoss.*' || status=1
fi

echo "== sanitizer build and tests"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVO_SANITIZE=ON >/dev/null
cmake --build build/asan -j "$jobs"
(cd build/asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest -j "$jobs" --output-on-failure --timeout 600) || status=1

if [ -x scripts/extra-tests.sh ]; then
    echo "== further checks"
    scripts/extra-tests.sh || status=1
fi

if [ "$status" -ne 0 ]; then
    echo "Some tests failed."
else
    echo "All tests passed."
fi
exit "$status"
