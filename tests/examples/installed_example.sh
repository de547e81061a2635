#!/usr/bin/env bash
# installed_example.sh PREFIX KVTSIM [BUILD_DIR]: checks an installed prefix as a C developer
# meets it (BUILD_DIR, when given, is installed there first): pkg-config gives clean absolute
# paths, and the installed C example builds with its own CMakeLists.txt against the prefix and
# runs against the emulator.
set -euo pipefail
prefix=$1
kvtsim=$2
if [ $# -ge 3 ]; then
    rm -rf "$prefix"
    mkdir -p "$prefix"
    cmake --install "$3" --prefix "$prefix/" >/dev/null
fi
prefix=$(realpath "$prefix")
libdir=$(ls -d "$prefix"/lib*/ | head -1)
libdir=${libdir%/}

export PKG_CONFIG_PATH="$libdir/pkgconfig"
for variable in libdir includedir; do
    got=$(pkg-config --variable=$variable kvtlnk)
    want=$libdir
    if [ "$variable" = includedir ]; then want=$prefix/include; fi
    [ "$got" = "$want" ] || { echo "pkg-config --variable=$variable kvtlnk: $got, not $want"; exit 1; }
done

example=$prefix/share/doc/kvtlnk/examples/c
lines=$(wc -l <"$example/CMakeLists.txt")
[ "$lines" -le 5 ] || { echo "$example/CMakeLists.txt has $lines lines"; exit 1; }
work=$(mktemp -d)
exec 3< <(exec "$kvtsim" --run 2>/dev/null)
sim=$!
trap 'kill "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT
cmake -S "$example" -B "$work" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work" >/dev/null
read -r -t 30 port <&3
out=$(LD_LIBRARY_PATH="$libdir" "$work/calibrate" "$port")
grep -qF "1 calibration results" <<<"$out" || { echo "$out"; exit 1; }
echo "the installed example builds against $prefix and runs"
