#!/usr/bin/env bash
# Builds and runs every test: the default build, then the ASan + UBSan build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
for preset in default sanitize; do
    echo "== $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
# The reference: Doxygen fails on any warning, so an undocumented call or argument fails here.
echo "== reference"
cmake --build --preset default --target docs
