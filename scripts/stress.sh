#!/usr/bin/env bash
# Runs the default build's whole suite three times with `ctest -j2` while two CPU-bound loops
# keep both cores busy, as on a loaded machine, then every test program on its own with its tests
# shuffled and repeated three times, under three seeds. Every run must pass: no test may depend on
# a timer firing before another one, nor on what another test left behind.
set -euo pipefail
cd "$(dirname "$0")/.."

[ -f build/CMakeCache.txt ] || cmake --preset default >/dev/null
cmake --build --preset default

hogs=()
stop_hogs() {
    for pid in "${hogs[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    hogs=()
}
trap stop_hogs EXIT
trap 'exit 130' INT TERM

for _ in 1 2; do
    (while :; do :; done) &
    hogs+=("$!")
done
echo "== two CPU-bound loops running: ${hogs[*]}"

log=$(mktemp)
passed=0
for run in 1 2 3; do
    start=$SECONDS
    if ctest --preset default -j2 >"$log" 2>&1; then
        passed=$((passed + 1))
        outcome=passed
    else
        outcome=FAILED
        grep -E '\*\*\*Failed|\(Failed\)|\(Timeout\)' "$log" || true
    fi
    echo "run $run: $outcome, $(grep -E 'tests passed' "$log" || echo 'no summary'), $((SECONDS - start)) s"
done
echo "$passed of 3 runs passed"

programs=0
shuffled=0
while IFS= read -r program; do
    programs=$((programs + 1))
    for seed in 1 3 5; do
        if (cd "$(dirname "$program")" &&
            "./$(basename "$program")" --gtest_shuffle --gtest_repeat=3 --gtest_random_seed="$seed") \
            >"$log" 2>&1; then
            shuffled=$((shuffled + 1))
        else
            echo "$program --gtest_shuffle --gtest_repeat=3 --gtest_random_seed=$seed: FAILED"
            grep -E '^\[  FAILED  \] [A-Za-z]' "$log" | sort -u || true
        fi
    done
done < <(find build/tests -type f -name '*_test' -perm -u+x | sort)
echo "$shuffled of $((3 * programs)) shuffled runs of $programs test programs passed"
rm -f "$log"
stop_hogs
[ "$passed" -eq 3 ] && [ "$shuffled" -eq $((3 * programs)) ]
