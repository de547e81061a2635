#!/usr/bin/env bash
# Builds and runs every test: the default build, the ASan + UBSan build, then the Windows stage
# (the 32-bit DLL with its export table, and the Win32 code of a 64-bit build under wine64
# against the emulator of the default build).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build() {
    echo "== $1 build"
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1"
    ctest --preset "$1"
}
for preset in default sanitize; do
    build "$preset"
done
# The reference: Doxygen fails on any warning, so an undocumented call or argument fails here.
echo "== reference"
cmake --build --preset default --target docs

windows_packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64)
if ! bash scripts/deps.sh "${windows_packages[@]}"; then
    echo "== Windows stage SKIPPED: cannot install ${windows_packages[*]}"
    exit 0
fi
start=$SECONDS
build windows
build windows64
echo "== Windows stage: $((SECONDS - start)) s"
