#!/usr/bin/env bash
# run_calibrate.sh KVTSIM CALIBRATE: runs the C example against the emulator, which performs
# the downloaded test at once, and checks what the example prints; then again, when the
# calibrator holds the result of the first run, which the example keeps unless told to discard.
set -euo pipefail
out=$(mktemp)
exec 3< <(exec "$1" --run 2>/dev/null)
sim=$!
trap 'kill "$sim" 2>/dev/null || true; rm -f "$out"' EXIT
read -r -t 30 port <&3
expect() {
    for want in "$@"; do
        grep -qF -- "$want" "$out" || { echo "missing from the output: $want"; exit 1; }
    done
}
"$2" "$port" | tee "$out"
expect "calibrator: ORVAN K27, firmware V1.2.0, serial number SN270001" \
    "downloaded: 16 items" "result 0: tag TAG-0001 \"PT-101\" \"loop check\", task \"PT-101 loop check\"" \
    "measured current, sourced dcv" "point 3: measured 0.01" "sourced 3 (range to" "point 7: measured 0.00" \
    "1 calibration results"
status=0
"$2" "$port" >"$out" 2>&1 || status=$?
cat "$out"
[ "$status" -eq 2 ] || { echo "exit status $status with results held, not 2"; exit 1; }
expect "the calibrator holds 2 result items, which the download would erase" "nothing was sent"
"$2" --discard-results "$port" | tee "$out"
expect "memories: 1048576 bytes each; 16 procedure items, 2 result items" "downloaded: 16 items" \
    "1 calibration results"
