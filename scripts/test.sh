#!/usr/bin/env bash
# Builds and runs every test: the default build, then the ASan + UBSan build; then checks the
# installed tools and their manual pages.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
for preset in default sanitize; do
    echo "== $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done

echo "== installed tools and manual pages"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install build --prefix "$prefix" >/dev/null
"$prefix/bin/kvtlnk" --version
"$prefix/bin/kvtsim" --version
test -f "$prefix/share/bash-completion/completions/kvtlnk"
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
echo "installed tools and manual pages: fine"
