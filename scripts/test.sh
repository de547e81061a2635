#!/usr/bin/env bash
# Builds and runs every test: the default build, then the ASan + UBSan build, then the fuzz
# targets under libFuzzer for a fixed number of inputs each from their corpora.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
for preset in default sanitize fuzz; do
    echo "== $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
