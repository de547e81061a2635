#!/usr/bin/env bash
# Runs one fuzz target for a while on one core: scripts/fuzz.sh TARGET MINUTES, where TARGET
# is frame, reply, session, records, dump, emulator_link, image_file, description, lab or
# archive. New inputs go to build-fuzz/fuzz/TARGET_corpus (the committed seeds are read, never
# written); a finding is written to build-fuzz/fuzz/ as crash-*, leak-* or timeout-* and ends
# the run; the log is build-fuzz/fuzz/fuzz-0.log.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -ne 2 ]; then
    echo "usage: scripts/fuzz.sh frame|reply|session|records|dump|emulator_link|image_file|description|lab|archive MINUTES" >&2
    exit 2
fi
target=$1
minutes=$2
bash scripts/deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${target}_fuzz"
out=build-fuzz/fuzz
mkdir -p "$out/${target}_corpus"
cd "$out"
exec "./${target}_fuzz" -max_total_time=$((minutes * 60)) -jobs=1 -workers=1 -print_final_stats=1 \
    -dict="../../fuzz/dict/${target}.dict" "${target}_corpus" "../../fuzz/corpus/${target}"
