#!/usr/bin/env bash
# check_exports.sh LIBRARY NAMES: every dynamic symbol the library defines must be one of the
# entry-point names listed in NAMES (one a line), with C linkage.
set -euo pipefail
lib=$1
names=$2
status=0
count=0
while read -r _ type name; do
    count=$((count + 1))
    if ! grep -qxF "$name" "$names"; then
        echo "stray symbol: $name ($type)"
        status=1
    fi
done < <(nm -D --defined-only "$lib")
echo "$count exported symbols checked"
exit $status
