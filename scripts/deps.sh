#!/usr/bin/env bash
# Installs the Debian packages the build, the tools and the tests need, when any is missing.
set -euo pipefail
packages=(cmake g++ make pkg-config binutils libgtest-dev libgmock-dev libbenchmark-dev
          libcli11-dev nlohmann-json3-dev python3-numpy python3-scipy g++-mingw-w64-i686
          clang-format)
# The fuzz targets: clang with libFuzzer and the sanitizer runtimes.
packages+=(clang-14 libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
