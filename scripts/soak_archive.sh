#!/usr/bin/env bash
# A soak of upload --store against a PostgreSQL server that is restarted every RESTART seconds
# (by turns a crash, pg_ctl's immediate stop, and a fast shutdown), for SECONDS in all:
#   scripts/soak_archive.sh [SECONDS [RESTART]]      (defaults 180 and 30)
# Each round downloads the example procedure to the emulator of kvtlnk sim start (which performs
# its tests at once), then uploads the results with upload --store --out, keeping the image
# file; a round whose store fails (the server is down) stores its image with archive add once
# the server is back. At the end every image is added again, which must add nothing (no result
# lost), and the archive must hold each result of the images once (none duplicated). Prints
# the rounds, the restarts, the failed stores and the resident memory of the tool's processes.
# Needs the default build and the PostgreSQL server (Debian package postgresql).
set -euo pipefail
seconds=${1:-180}
restart=${2:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
kvtlnk=$root/build/tools/cli/kvtlnk
work=$(mktemp -d)
chmod 711 "$work"  # the server runs as postgres when this runs as root
export HOME=$work XDG_STATE_HOME=$work/state XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR" "$work/images"
restarter=
cleanup() {
    [ -n "$restarter" ] && kill "$restarter" 2>/dev/null || true
    "$kvtlnk" sim stop >/dev/null 2>&1 || true
    bash "$root/scripts/pg_private.sh" stop "$work/pg" || true
    rm -rf "$work"
}
trap cleanup EXIT

uri=$(bash "$root/scripts/pg_private.sh" start "$work/pg")
case "$uri" in SKIPPED*) echo "$uri"; exit 0 ;; esac
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)
as_owner=()
[ "$(id -u)" -eq 0 ] && as_owner=(runuser -u postgres --)
"$kvtlnk" sim start --state "$work/emu.json" --clock "2024-05-02 09:00:00" >/dev/null

# The server goes down and comes back every $restart seconds.
(
    n=0
    while sleep "$restart"; do
        n=$((n + 1))
        mode=$([ $((n % 2)) -eq 1 ] && echo immediate || echo fast)
        if "${as_owner[@]}" "$bin/pg_ctl" -D "$work/pg/data" -m "$mode" -w restart \
            >>"$work/pg_ctl.log" 2>&1; then
            echo "$(date +%s) $mode" >>"$work/restarts"
        else
            echo "$(date +%s) $mode FAILED" >>"$work/restarts"
        fi
    done
) &
restarter=$!

# Runs the tool, its resident memory (KiB) appended to rss; the tool's exit status.
tool() {
    /usr/bin/time -f "%M" -o "$work/time" "$kvtlnk" -q "$@" >"$work/out" 2>"$work/err" || {
        local status=$?
        tail -n 1 "$work/time" >>"$work/rss" 2>/dev/null || true
        return $status
    }
    tail -n 1 "$work/time" >>"$work/rss"
}

end=$(($(date +%s) + seconds))
rounds=0 failed=0 retries=0
while [ "$(date +%s)" -lt "$end" ]; do
    rounds=$((rounds + 1))
    image=$work/images/round-$rounds.json
    until tool --port sim --archive "$uri" download "$root/examples/procedure.json"; do
        retries=$((retries + 1)); sleep 1
    done
    if ! tool --port sim --archive "$uri" upload --store --out "$image"; then
        failed=$((failed + 1))
        [ -s "$image" ] || { echo "round $rounds: no image kept: $(cat "$work/err")"; exit 1; }
        until tool --archive "$uri" archive add "$image"; do
            retries=$((retries + 1)); sleep 1
        done
    fi
done
kill "$restarter" 2>/dev/null || true
wait "$restarter" 2>/dev/null || true
restarter=
until tool --archive "$uri" archive list; do sleep 1; done

# No result lost: every image is held whole. None duplicated: the archive holds as many results
# as the images, each key once.
expected=0
for image in "$work"/images/*.json; do
    tool --archive "$uri" --json archive add "$image"
    added=$(python3 -c 'import json,sys; f=json.load(open(sys.argv[1]))["files"][0]; print(f["added"], f["held"])' "$work/out")
    [ "${added%% *}" = 0 ] || { echo "LOST: $image added ${added%% *} results again"; exit 1; }
    expected=$((expected + ${added##* }))
done
held=$("$bin/psql" -At "$uri" -c "SELECT COUNT(*) || ' ' || COUNT(DISTINCT (calibrator_serial, taken, result_hash)) FROM results")
[ "$held" = "$expected $expected" ] || { echo "DUPLICATED OR LOST: images $expected, archive $held"; exit 1; }

sort -n "$work/rss" >"$work/rss.sorted"
echo "soak of upload --store: ${seconds} s, server restarted every ${restart} s"
echo "  rounds $rounds, server restarts $(grep -vc FAILED "$work/restarts" 2>/dev/null || true)" \
    "(failed: $(grep -c FAILED "$work/restarts" 2>/dev/null || true))," \
    "stores that failed $failed, retried commands $retries"
echo "  results stored $expected, each once; every image added again adds nothing"
echo "  resident memory of the tool: min $(head -n 1 "$work/rss.sorted") KiB," \
    "median $(sed -n "$((($(wc -l <"$work/rss.sorted") + 1) / 2))p" "$work/rss.sorted") KiB," \
    "max $(tail -n 1 "$work/rss.sorted") KiB over $(wc -l <"$work/rss.sorted") runs"
echo "  first round $(head -n 3 "$work/rss" | tr '\n' ' ')KiB; last $(tail -n 3 "$work/rss" | tr '\n' ' ')KiB"
