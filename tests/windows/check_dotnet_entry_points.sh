#!/usr/bin/env bash
# check_dotnet_entry_points.sh OBJDUMP DLL NATIVE_METHODS CLASS
# The .NET binding's declarations for one DLL (the class Windows32 or Windows64 of
# NativeMethods.g.cs) must name exactly the DLL's export table, load it by its file name, and
# call the 32-bit one with stdcall.
set -euo pipefail
objdump=$1 dll=$2 native=$3 class=$4
here=$(dirname "$0")
block=$(sed -n "/private static class $class\$/,/^        }\$/p" "$native")
imports=$(grep -c 'DllImport(' <<<"$block" || true)
[ "$imports" -gt 0 ] || { echo "no declarations of $class in $native"; exit 1; }
files=$(grep -o 'DllImport("[^"]*"' <<<"$block" | sort -u)
[ "$files" = "DllImport(\"$(basename "$dll")\"" ] || { echo "$class loads $files"; exit 1; }
stdcall=$(grep -c 'CallingConvention.StdCall' <<<"$block" || true)
if [ "$class" = Windows32 ]; then want=$imports; else want=0; fi
[ "$stdcall" -eq "$want" ] || { echo "$class: $stdcall of $imports declarations are stdcall"; exit 1; }
expected=$(mktemp)
trap 'rm -f "$expected"' EXIT
grep -o 'EntryPoint = "[^"]*"' <<<"$block" | sed 's/EntryPoint = "\(.*\)"/\1/' > "$expected"
bash "$here/check_dll_names.sh" "$objdump" "$dll" "$expected"
