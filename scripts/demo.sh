#!/usr/bin/env bash
# Builds the library and its command-line tool, then runs the demo against the built-in
# calibrator emulator (or against an instrument: scripts/demo.sh --port /dev/ttyUSB0 --yes).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --demo
# KVTLNK_DEMO_BUILD: another build directory (the tests install from a fresh one).
build=${KVTLNK_DEMO_BUILD:-build}
cmake --preset default -B "$build" >/dev/null
# The tool, the emulator program and the API description, so that cmake --install works from here.
cmake --build "$build" -j 2 --target kvtlnk_cli kvtsim kvtlnk_api_json
exec "$build/tools/cli/kvtlnk" demo "$@"
