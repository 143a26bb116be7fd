#!/bin/bash
# Runs the release tests and the window tests, as test.sh runs them, in a
# control group of their own that gets only part of the machine's processor
# time: as when the tests run beside other work. Needs root and a built
# build/release (test.sh or run.sh makes it).
#
#   scripts/tests_on_fewer_cpus.sh [--cpus N] [--busy N] [--runs N] [command ...]
#
#   --cpus N   processor time of N processors (default 2): N x 100 ms each
#              100 ms, whatever the number of processors; the group's threads
#              still spread over all of them, and are stopped for the rest of
#              a period once its share is spent
#   --busy N   N spinning processes in the group beside the tests (default 0)
#   --runs N   runs one after another (default 1); the script fails when one did
#   command    run in the group instead of the tests
#
# Control groups v1 (the cpu controller's cpu.cfs_quota_us and cpu.cfs_period_us)
# and v2 (cpu.max) are both handled. The group is removed at the end, the
# spinning processes with it.
set -uo pipefail
cd "$(dirname "$0")/.."
cpus=2 busy=0 runs=1
while [ $# -gt 0 ]; do
    case "$1" in
        --cpus) cpus="$2"; shift 2 ;;
        --busy) busy="$2"; shift 2 ;;
        --runs) runs="$2"; shift 2 ;;
        --suite)
            # Inside the group: the release tests, then the window tests.
            status=0
            (cd build/release && ctest -j "$(nproc)" --output-on-failure --timeout 300) || status=1
            if command -v xvfb-run >/dev/null && [ -x build/release/test_integration ]; then
                xvfb-run -a -s "-screen 0 1024x768x24" env KELVO_PLATFORM=sdl build/release/test_integration \
                    --gtest_brief=1 || status=1
            fi
            exit "$status"
            ;;
        *) break ;;
    esac
done
[[ "$cpus" =~ ^[1-9][0-9]*$ && "$busy" =~ ^[0-9]+$ && "$runs" =~ ^[1-9][0-9]*$ ]] || {
    echo "usage: $0 [--cpus N] [--busy N] [--runs N] [command ...]" >&2
    exit 2
}
[ $# -gt 0 ] || set -- "$0" --suite
[ -d build/release ] || { echo "no build/release: run ./test.sh or ./run.sh first" >&2; exit 2; }

# Where groups of the cpu controller are made: a v1 hierarchy with it, else
# the v2 hierarchy when it offers it.
v1=$(awk '$3 == "cgroup" && $4 ~ /(^|,)cpu(,|$)/ { print $2; exit }' /proc/mounts)
v2=$(awk '$3 == "cgroup2" { print $2; exit }' /proc/mounts)
if [ -n "$v1" ]; then
    group="$v1/kelvo-tests-$$"
    mkdir "$group" || exit 1
    echo 100000 >"$group/cpu.cfs_period_us" && echo $((cpus * 100000)) >"$group/cpu.cfs_quota_us" || {
        rmdir "$group"
        exit 1
    }
    kind="cgroup v1"
elif [ -n "$v2" ] && grep -qw cpu "$v2/cgroup.controllers" 2>/dev/null; then
    # Children of the hierarchy's root, where the controller is handed down.
    grep -qw cpu "$v2/cgroup.subtree_control" || echo +cpu >"$v2/cgroup.subtree_control" || {
        echo "cannot hand the cpu controller down in $v2" >&2
        exit 1
    }
    group="$v2/kelvo-tests-$$"
    mkdir "$group" || exit 1
    echo "$((cpus * 100000)) 100000" >"$group/cpu.max" || {
        rmdir "$group"
        exit 1
    }
    kind="cgroup v2"
else
    echo "no control group hierarchy with the cpu controller" >&2
    exit 1
fi
parent="$(dirname "$group")"

spinners=()
cleanup() {
    local pid
    for pid in "${spinners[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${spinners[@]}"; do wait "$pid" 2>/dev/null; done
    # Whatever the tests left running in the group (all started here) is
    # ended, so the group can go.
    for pid in $(cat "$group/cgroup.procs"); do kill -KILL "$pid" 2>/dev/null; done
    for ((i = 0; i < 50 && $(wc -l <"$group/cgroup.procs") > 0; i++)); do sleep 0.1; done
    rmdir "$group" 2>/dev/null || echo "the group $group could not be removed" >&2
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Starts "$@" inside the group.
in_group() {
    bash -c 'echo $$ >"$1/cgroup.procs" && shift && exec "$@"' in-group "$group" "$@"
}

echo "$kind: $group, $cpus processors' time of $(nproc), $busy spinning beside"
for ((i = 0; i < busy; i++)); do
    (echo "$BASHPID" >"$group/cgroup.procs" && exec bash -c 'while :; do :; done') &
    spinners+=($!)
done
failed=0
for ((run = 1; run <= runs; run++)); do
    start=$(date +%s)
    if in_group "$@"; then
        echo "== run $run of $runs passed ($(($(date +%s) - start)) s)"
    else
        echo "== run $run of $runs FAILED ($(($(date +%s) - start)) s)"
        failed=$((failed + 1))
    fi
done
echo "$runs runs, $failed failed"
[ "$failed" -eq 0 ]
