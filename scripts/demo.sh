#!/usr/bin/env bash
# Builds the library and its command-line tool, then runs the demo against the built-in
# calibrator emulator (or against an instrument: scripts/demo.sh --port /dev/ttyUSB0 --yes).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --demo
cmake --preset default >/dev/null
cmake --build --preset default --target kvtlnk_cli
exec build/tools/cli/kvtlnk demo "$@"
