#!/usr/bin/env bash
# walkthrough.sh README BUILD: runs the README's walk-through (its sh blocks between the
# walk-through marks) as written, from a folder that stands for the top of the sources (its
# build is BUILD), for a user whose home is new. The lab's database is a new one on the tests'
# private PostgreSQL server (KVTLNK_TEST_POSTGRES): the line that names the lab's database
# names it instead. Without a server the walk-through stops before the shared archive, and
# says so. Then checks what the walk-through promises: two rounds a month apart in the
# archive, with drift between them, PT-101 due, the pages and the certificate written, and the
# shared archive holding what the bench kept.
set -euo pipefail
readme=$1
build=$(cd "$2" && pwd)
scratch=$(mktemp -d)
database=""
server=${KVTLNK_TEST_POSTGRES:-}
export HOME=$scratch/home
mkdir -p "$HOME"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_STATE_HOME XDG_RUNTIME_DIR KVTLNK_PORT KVTLNK_ARCHIVE
cleanup() {
    if [ -x "$HOME/.local/bin/kvtlnk" ]; then "$HOME/.local/bin/kvtlnk" sim stop >/dev/null 2>&1 || true; fi
    if [ -n "$database" ]; then psql "$server" -qc "DROP DATABASE IF EXISTS $database WITH (FORCE)" || true; fi
    rm -rf "$scratch"
}
trap cleanup EXIT
ln -s "$build" "$scratch/build"

steps=$scratch/steps.sh
awk '/<!-- walk-through: begin/ {on = 1} /<!-- walk-through: end/ {on = 0}
     on && /^```sh/ {take = 1; next} take && /^```/ {take = 0; next} take' "$readme" >"$steps"
grep -q '^export LAB=' "$steps" || { echo "the walk-through names no lab database (export LAB=)"; exit 1; }
if [ -n "$server" ] && command -v psql >/dev/null && psql "$server" -qc 'SELECT 1' >/dev/null 2>&1; then
    database=walkthrough_$$
    psql "$server" -qc "CREATE DATABASE $database"
    lab=${server/\/postgres\?//$database?}
    sed -i "s|^export LAB=[^ ]*|export LAB='${lab//&/\\&}'|" "$steps"
else
    echo "SKIPPED: the shared archive, as there is no PostgreSQL server for the tests"
    lab=""
    sed -i '/^export LAB=/,$d' "$steps"
fi

log=$scratch/walkthrough.log
if ! (cd "$scratch" && bash -euo pipefail -x "$steps") >"$log" 2>&1; then
    cat "$log"
    echo "the walk-through stopped"
    exit 1
fi

fail() {
    cat "$log"
    echo "$1"
    exit 1
}
kvtlnk=$HOME/.local/bin/kvtlnk
day=$HOME/k27-day
for page in demo-report.html PT-101-drift.html PT-101.html round1.json; do
    [ -s "$day/$page" ] || fail "the walk-through did not write $page"
done
# Two rounds a month apart, whose errors differ by the drift between them.
"$kvtlnk" --json history PT-101 >"$scratch/history.json"
python3 - "$scratch/history.json" <<'PY' || fail "the history is not two rounds a month apart with drift"
import json, sys
import datetime
calibrations = json.load(open(sys.argv[1]))["calibrations"]
assert len(calibrations) == 2, len(calibrations)
days = [datetime.date.fromisoformat(c["day"]) for c in calibrations]
assert (days[1] - days[0]).days in (29, 30, 31), days
errors = [[x for r in c["results"] for x in r["errors"]] for c in calibrations]
assert errors[0] != errors[1], errors
PY
"$kvtlnk" --json due --within 365d | grep -q '"tag": "PT-101"' || fail "PT-101 is not due"
grep -q 'Stored 2 results' "$log" || fail "an upload stored no results"
if [ -n "$lab" ]; then
    grep -q 'Checked: .* holds all 4 results of' "$log" || fail "the copy into the lab's archive did not check"
    [ "$("$kvtlnk" --archive "$lab" --json history PT-101 | grep -c '"clockSuspect": false')" -eq 2 ] ||
        fail "the lab's archive does not hold both rounds"
fi
echo "the walk-through works as written"
