#!/usr/bin/env bash
# Builds and runs every test: the default build, the ASan + UBSan build, the fuzz targets
# (libFuzzer, a fixed number of inputs each from their corpora), the reference, the
# installed tools and their manual pages, then the Windows stage (the 32-bit DLL with its export
# table, and the Win32 code of a 64-bit build under wine64 against the emulator of the default
# build).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
# The archive's tests start a private PostgreSQL server in each build tree (a CTest fixture,
# scripts/pg_private.sh); whatever happens, it is stopped by its process id on the way out.
if ! bash scripts/deps.sh postgresql; then
    echo "== PostgreSQL SKIPPED: cannot install postgresql; the archive's tests on it skip"
fi
prefix=""
demo_build=""
demo_prefix=""
cleanup() {
    for tree in build build-sanitize; do bash scripts/pg_private.sh stop "$tree/pg"; done
    for dir in "$prefix" "$demo_build" "$demo_prefix"; do
        if [ -n "$dir" ]; then rm -rf "$dir"; fi
    done
}
trap cleanup EXIT
# build PRESET [CONFIGURE OPTIONS...]
build() {
    echo "== $1 build"
    cmake --preset "$@" >/dev/null
    cmake --build --preset "$1"
    ctest --preset "$1"
}
for preset in default sanitize fuzz; do
    build "$preset"
done
# The reference: Doxygen fails on any warning, so an undocumented call or argument fails here.
echo "== reference"
cmake --build --preset default --target docs

echo "== installed tools and manual pages"
prefix=$(mktemp -d)
cmake --install build --prefix "$prefix" >/dev/null
"$prefix/bin/kvtlnk" --version
"$prefix/bin/kvtsim" --version
test -f "$prefix/share/bash-completion/completions/kvtlnk"
# The commented sample lab file is installed, and is a lab file the tool reads.
"$prefix/bin/kvtlnk" --lab "$prefix/share/doc/kvtlnk/lab.toml" lab check >/dev/null
# The installed C example builds outside the tree against the prefix (pkg-config's paths clean).
bash tests/examples/installed_example.sh "$prefix" "$prefix/bin/kvtsim"
for tool in kvtlnk kvtsim; do
    page="$prefix/share/man/man1/$tool.1"
    warnings=$(LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    if [ -n "$warnings" ]; then echo "$page: $warnings"; exit 1; fi
    # Every option the help of the program or of one of its commands lists is in the page.
    source=$(sed 's/\\-/-/g' "$page")
    for command in "" $("$prefix/bin/$tool" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR>1 && NF {print $1}'); do
        for option in $("$prefix/bin/$tool" $command --help | grep -oE '^ +(-[a-z],)?--[a-z-]+' | sed 's/.*--/--/'); do
            if ! grep -qe "$option" <<<"$source"; then echo "$page lacks $option"; exit 1; fi
        done
    done
done

# The install right after the demo command's build: only what the demo builds, in a build
# directory of its own; then the installed tool finds its procedure-file reference.
echo "== install after the demo's build"
demo_build=$(mktemp -d)
demo_prefix=$(realpath "$(mktemp -d)")
KVTLNK_DEMO_BUILD="$demo_build" bash scripts/demo.sh -q --out "$demo_build/demo-report.html" >/dev/null
cmake --install "$demo_build" --prefix "$demo_prefix" >/dev/null
doc="$demo_prefix/share/doc/kvtlnk"
"$demo_prefix/bin/kvtlnk" show "$doc/procedure.json" >/dev/null
"$demo_prefix/bin/kvtlnk" --help | grep -qxF "  $doc/procedure-files.md"
"$demo_prefix/bin/kvtsim" --version

windows_packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64)
if ! bash scripts/deps.sh "${windows_packages[@]}"; then
    echo "== Windows stage SKIPPED: cannot install ${windows_packages[*]}"
    exit 0
fi
start=$SECONDS
build windows
build windows64 -DKVTLNK_KVTSIM="$PWD/build/tools/emulator/kvtsim"
echo "== Windows stage: $((SECONDS - start)) s"
