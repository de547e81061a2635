#!/usr/bin/env bash
# Builds the library and its tools, then runs the demo against the built-in calibrator
# emulator (or against an instrument: scripts/demo.sh --port /dev/ttyUSB0).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
exec build/tools/cli/kvtlnk demo "$@"
