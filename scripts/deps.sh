#!/usr/bin/env bash
# Installs the Debian packages that are missing. `deps.sh --demo` installs what building the
# library and its command-line tool needs (a compiler, CMake, CLI11, nlohmann-json, fmt, the
# SQLite and PostgreSQL client libraries, toml++, libcrypto, cpp-httplib, libsodium and libxml2);
# `deps.sh` adds what the tests, the reference and the checks need (the PostgreSQL server of the
# archive's tests is installed by scripts/test.sh, which goes on without it); with other arguments, the
# packages named instead. Fails when one cannot be installed.
set -euo pipefail
# The tool's records archive is an SQLite file or a PostgreSQL database: both client libraries.
# The bench page (kvtlnk serve) is served with cpp-httplib; its users' passwords are hashed with
# libsodium's Argon2id.
demo=(cmake g++ make pkg-config libcli11-dev nlohmann-json3-dev libfmt-dev libsqlite3-dev libpq-dev)
# The lab file is TOML; the archive keys records by SHA-256 from OpenSSL's libcrypto.
demo+=(libtomlplusplus-dev libssl-dev libcpp-httplib-dev libsodium-dev)
# A certificate's DCC (Digital Calibration Certificate) is XML built with libxml2.
demo+=(libxml2-dev)
tests=(binutils libgtest-dev libgmock-dev libbenchmark-dev python3-numpy python3-scipy
       clang-format man-db util-linux)
# The check of the bash completion, which uses its functions.
tests+=(bash-completion)
# xmllint, to check a DCC against the DCC schemas by hand as the docs show.
tests+=(libxml2-utils)
# The reference (Doxygen) and the Python package's tests, which install it offline with pip.
tests+=(doxygen python3-pytest python3-setuptools python3-wheel python3-pip python3-venv)
# The .NET binding: compiled and tested with Mono (mcs, the runtime, the framework's reference
# assemblies).
tests+=(mono-devel)
# The calibration report's test renders it in a browser; the certificates' tests print PDF with
# it and read the PDF back with poppler's pdftotext, pdfinfo and pdftoppm.
tests+=(chromium poppler-utils)
# The bench page's browser suite drives Chromium with Playwright (npm's playwright-core, which
# the suite installs into the build tree); node's own npm is taken where one is installed.
tests+=(nodejs)
command -v npm >/dev/null 2>&1 || tests+=(npm)
# The fuzz targets: clang with libFuzzer and the sanitizer runtimes.
tests+=(clang-14 libclang-rt-14-dev)
case "${1:-}" in
    --demo) packages=("${demo[@]}") ;;
    "") packages=("${demo[@]}" "${tests[@]}") ;;
    *) packages=("$@") ;;
esac
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
