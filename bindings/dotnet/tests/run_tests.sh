#!/usr/bin/env bash
# Runs the .NET binding's tests under Mono against the shared library and the emulator:
#   run_tests.sh MONO SUITE LIBRARY_DIR KVTSIM
# or says why they cannot run (exit 77, which ctest counts as skipped):
#   run_tests.sh --no-mono
set -euo pipefail
if [ "$1" = --no-mono ]; then
    echo "skipped: Mono (mcs, mono) is not installed; scripts/deps.sh installs mono-devel"
    exit 77
fi
mono=$1 suite=$2 libdir=$3 kvtsim=$4
export LD_LIBRARY_PATH="$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" KVTSIM="$kvtsim"
exec "$mono" --debug "$suite"
