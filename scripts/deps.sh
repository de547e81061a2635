#!/usr/bin/env bash
# Installs the Debian packages the build, the tools and the tests need, when any is missing;
# with arguments, the packages named instead. Fails when one cannot be installed.
set -euo pipefail
packages=(cmake g++ make pkg-config binutils libgtest-dev libgmock-dev libbenchmark-dev
          libcli11-dev nlohmann-json3-dev libfmt-dev python3-numpy python3-scipy clang-format)
# The reference (Doxygen) and the Python package's tests.
packages+=(doxygen python3-pytest python3-setuptools)
[ $# -eq 0 ] || packages=("$@")
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
