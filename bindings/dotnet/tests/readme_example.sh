#!/usr/bin/env bash
# Compiles the first C# example of the binding's README as a developer copies it, and runs it on
# the emulator after a field run has left a result there:
#   readme_example.sh MCS MONO KVTLNK_DLL LIBRARY_DIR KVTSIM README WORK
set -euo pipefail
mcs=$1 mono=$2 assembly=$3 libdir=$4 kvtsim=$5 readme=$6 work=$7
suite=$(dirname "$assembly")/KvtlnkTests.exe
mkdir -p "$work"
awk '/^```csharp/{take=1; next} /^```/{if (take) exit} take' "$readme" > "$work/Example.cs"
lines=$(wc -l < "$work/Example.cs")
[ "$lines" -gt 0 ] && [ "$lines" -le 20 ] || { echo "the README's example has $lines lines"; exit 1; }
cp "$assembly" "$work/"
"$mcs" -nologo -warnaserror -r:"$work/Kvtlnk.dll" -out:"$work/Example.exe" "$work/Example.cs"

export LD_LIBRARY_PATH="$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
coproc emulator { exec "$kvtsim" --run; }
trap 'kill "$emulator_PID" 2>/dev/null || true; wait "$emulator_PID" 2>/dev/null || true' EXIT
read -r port <&"${emulator[0]}"
KVTSIM=$kvtsim "$mono" "$suite" --prepare "$port"
out=$("$mono" "$work/Example.exe" "$port")
echo "$out"
grep -q '^SN270001$' <<<"$out"
grep -Eq '^TAG-0001 PT-101: 1 dcv -> 0\.00[34][0-9]* current, error -?[0-9.]+ %$' <<<"$out"
