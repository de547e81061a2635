#!/usr/bin/env bash
# wine_run.sh PREFIX KVTSIM PROGRAM COMn [ARGS...] [-- KVTSIM_OPTIONS...]
# Starts the emulated calibrator, maps the Windows port COMn of the wine prefix to its pty and
# runs the Windows PROGRAM COMn ARGS... under wine in the current directory; the emulator stops
# afterwards.
# wine_run.sh PREFIX --init makes the prefix; wine_run.sh PREFIX --stop ends its wineserver.
set -euo pipefail
export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
case $2 in
    # One server for all the runs (a server left from an earlier run goes first). Wine's own
    # processes outlive a run: none may hold on to the test's output, or the test would not end.
    --init) [ ! -d "$WINEPREFIX" ] || wineserver -k &>/dev/null || true
            rm -rf "$WINEPREFIX" && mkdir -p "$WINEPREFIX" && wineserver -p &>/dev/null &&
            exec wineboot -i &>/dev/null ;;
    --stop) wineserver -k &>/dev/null || true
            exit 0 ;;
esac
kvtsim=$2 port=$4
shift 2
args=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do args+=("$1") && shift; done
[ $# -gt 0 ] && shift

exec 3< <(exec "$kvtsim" "$@")
emulator=$!
trap 'kill "$emulator" 2>/dev/null; wait "$emulator" || true' EXIT
read -r pty <&3
ln -sfn "$pty" "$WINEPREFIX/dosdevices/${port,,}"
status=0
wine "${args[@]}" &>output.txt || status=$?
cat output.txt
exit $status
