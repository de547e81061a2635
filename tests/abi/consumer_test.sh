#!/usr/bin/env bash
# consumer_test.sh BUILD_DIR CONSUMER_SOURCE WORK_DIR: installs the library into a scratch
# prefix and builds a small C program against it, once with find_package and once with
# pkg-config.
set -euo pipefail
build=$1
source=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null
libdir=$(ls -d "$work"/prefix/lib*/ | head -1)

cmake -S "$source" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
LD_LIBRARY_PATH="$libdir" "$work/cmake-build/consumer"

export PKG_CONFIG_PATH="$libdir/pkgconfig"
# shellcheck disable=SC2046
cc -std=c99 -Wall -Werror -o "$work/pc-consumer" "$source/main.c" $(pkg-config --cflags --libs kvtlnk)
LD_LIBRARY_PATH="$libdir" "$work/pc-consumer"
echo "installed package works through CMake and pkg-config"
