#!/usr/bin/env bash
# one_library.sh PROGRAM shared|none: the program holds no copy of the library's code (no symbol
# of the kvtlnk namespace, no entry point defined in it) and, for "shared", loads libkvtlnk.so.
set -euo pipefail
program=$1
status=0
copies=$(nm -C --defined-only "$program" | grep -E 'kvtlnk::| (KVT|MEM|STA)[A-Za-z0-9]+$' || true)
if [ -n "$copies" ]; then
    echo "$program defines $(wc -l <<<"$copies") symbols of the library, among them:"
    head -5 <<<"$copies"
    status=1
fi
if [ "$2" = shared ] && ! readelf -d "$program" | grep -q 'NEEDED.*\[libkvtlnk\.so'; then
    echo "$program does not load libkvtlnk.so"
    status=1
fi
exit $status
