#!/usr/bin/env bash
# Runs the browser suite: installs playwright-core into the build tree once, then runs the
# suite with Debian's Chromium. Exits 77 (skipped), saying why, where that cannot be done.
set -uo pipefail
dir=${1:?usage: run.sh BUILD_DIR SUITE [ARGS...]}
suite=${2:?usage: run.sh BUILD_DIR SUITE [ARGS...]}
shift 2
skip() {
    echo "web_browser skipped: $*"
    exit 77
}
command -v node >/dev/null || skip "node is not installed (Debian package nodejs)"
chromium=${KVTLNK_CHROMIUM:-$(command -v chromium || command -v chromium-browser || true)}
[ -n "$chromium" ] || skip "chromium is not installed (Debian package chromium)"
if [ ! -d "$dir/node_modules/playwright-core" ]; then
    command -v npm >/dev/null || skip "npm is not installed (Debian package npm)"
    mkdir -p "$dir"
    npm install --prefix "$dir" --no-audit --no-fund --no-save --silent playwright-core@1 \
        >"$dir/npm.log" 2>&1 || skip "npm could not install playwright-core: $(tail -1 "$dir/npm.log")"
fi
export NODE_PATH="$dir/node_modules" KVTLNK_CHROMIUM="$chromium"
exec node "$suite" "$@"
