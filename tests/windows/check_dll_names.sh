#!/usr/bin/env bash
# check_dll_names.sh OBJDUMP FILE EXPECTED [DLL]
# The names in FILE's export table (or, with DLL, the names FILE imports from that DLL) must be
# exactly the lines of EXPECTED. Prints every missing and every extra name.
set -euo pipefail
if [ $# -eq 4 ]; then
    table=$("$1" -p "$2" | sed -n "/DLL Name: $4\$/,/^\$/s/^\s*[0-9a-f]\+\s\+[0-9]\+\s\+//p")
else
    table=$("$1" -p "$2" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[ *[0-9]\+\] //p')
fi
actual=$(sort <<<"$table")
expected=$(sort "$3")
report=$(comm -23 <(echo "$expected") <(echo "$actual") | sed 's/^/missing: /'
         comm -13 <(echo "$expected") <(echo "$actual") | sed 's/^/extra: /')
echo "$(grep -c . <<<"$actual") names in $(basename "$2"), $(grep -c . "$3") expected"
[ -z "$report" ] && exit 0
echo "$report"
echo "the names differ"
exit 1
