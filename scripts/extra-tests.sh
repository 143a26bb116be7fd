#!/bin/bash
# Fuzzing: builds the libFuzzer targets (fuzz/*.cpp) with clang, AddressSanitizer
# and UndefinedBehaviorSanitizer in a build directory of their own, and runs
# each for a bounded number of runs from its committed seed corpus
# (fuzz/corpus/<target>/). Any crash, leak or sanitizer report fails the run;
# the input that caused it is kept under build/fuzz/artifacts/. An input that
# takes longer than KELVO_FUZZ_TIMEOUT seconds fails the run the same way.
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS=${KELVO_FUZZ_RUNS:-10000}
SECONDS_PER_TARGET=${KELVO_FUZZ_SECONDS:-45}
TIMEOUT=${KELVO_FUZZ_TIMEOUT:-10}

if ! command -v clang++ >/dev/null; then
    . scripts/packages.sh
    kelvo_install_packages
fi

build=build/fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DKELVO_FUZZ=ON -DKELVO_SANITIZE=ON -DKELVO_BENCH=OFF >/dev/null
targets=$(cd fuzz && ls ./*.cpp | sed 's|^\./||; s|\.cpp$||')
# Only the targets: the rest of the project is built and tested by test.sh.
# shellcheck disable=SC2086
cmake --build "$build" -j "$(nproc)" --target $targets

status=0
mkdir -p "$build/artifacts"
# Leaks inside fontconfig are its own (see the file); ours are still reported.
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan_suppressions.txt${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
for target in $targets; do
    # New inputs go to a scratch folder; the committed corpus stays as it is.
    scratch=$(mktemp -d)
    log="$build/$target.log"
    echo "fuzzing $target: $RUNS runs at most, $SECONDS_PER_TARGET s at most"
    if "$build/$target" -runs="$RUNS" -max_total_time="$SECONDS_PER_TARGET" -seed=1 -timeout="$TIMEOUT" \
        -artifact_prefix="$build/artifacts/$target-" "$scratch" "fuzz/corpus/$target" >"$log" 2>&1; then
        grep -E "^(#[0-9]+\s+DONE|Done)" "$log" || true
    else
        echo "$target found a problem:"
        tail -n 40 "$log"
        status=1
    fi
    rm -rf "$scratch"
done
exit "$status"
