#!/usr/bin/env bash
# api_description_faults.sh GENERATOR HEADERS_DIR WORK
# The description's generator refuses headers whose documentation does not fit their
# declarations, naming the call and the fault: each case edits a copy of kvtlnk.h.
set -euo pipefail
generator=$1 headers=$2 work=$3
mkdir -p "$work"
cases=(
    's/@param\[out\] model  /@param model /|@param model'
    's/KVTLNK_MODEL_SIZE bytes$/128 bytes/|KVTgetK2x(model): a buffer whose size its text does not name'
    's/@param\[in\] baud /@param[out] baud /|KVTopen(baud): int32_t is documented as @param[out]'
    's/KVTopen(int32_t baud,/KVTopen(int32_t rate,/|KVTopen: parameter rate is not the @param in its place'
    's/@param\[out\] dst  receives the version; KVTLNK_VERSION_SIZE bytes/@param[out] dst  receives the version/|KVTversion(dst): a buffer whose size'
    's/^ \* @return KVTLNK_OK; KVTLNK_E_IMAGE (2012) when the image is full.$/ */|MEMendTask: no @return'
)
failed=0
bash_case() {
    local edit=${1%%|*} says=${1#*|}
    sed "$edit" "$headers/kvtlnk.h" > "$work/kvtlnk.h"
    if cmp -s "$headers/kvtlnk.h" "$work/kvtlnk.h"; then
        echo "the edit $edit changes nothing"; return 1
    fi
    if "$generator" "$work/api.json" 0 "$work/kvtlnk.h" "$headers/kvtlnk_ext.h" 2> "$work/err"; then
        echo "accepted: $edit"; return 1
    fi
    grep -qF "$says" "$work/err" || { echo "$edit: expected \"$says\", got:"; cat "$work/err"; return 1; }
}
for c in "${cases[@]}"; do bash_case "$c" || failed=$((failed + 1)); done
"$generator" "$work/api.json" 0 "$headers/kvtlnk.h" "$headers/kvtlnk_ext.h" || failed=$((failed + 1))
echo "$(( ${#cases[@]} + 1 - failed )) passed, $failed failed"
[ "$failed" -eq 0 ]
