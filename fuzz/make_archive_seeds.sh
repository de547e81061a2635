#!/usr/bin/env bash
# Writes the seeds of the archive's fuzz target into DIR (fuzz/corpus/archive): archives that
# the tool itself made from a field run of the emulator, compacted (pages of 512 bytes, no
# write-ahead log) so that the fuzzer's mutations reach their rows. Needs the default build's
# kvtlnk and the sqlite3 shell: fuzz/make_archive_seeds.sh fuzz/corpus/archive
set -euo pipefail
out=$(cd "${1:?usage: $0 DIR}" && pwd)
kvtlnk=$(cd "$(dirname "$0")/.." && pwd)/build/tools/cli/kvtlnk
procedure=$(cd "$(dirname "$0")/.." && pwd)/examples/procedure.json
work=$(mktemp -d)
trap 'XDG_RUNTIME_DIR=$work/run "$kvtlnk" sim stop >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
export HOME=$work XDG_STATE_HOME=$work/state XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_RUNTIME_DIR"
cat >"$work/lab.toml" <<'LAB'
[lab]
name = "Seed bench"
LAB
"$kvtlnk" sim start --state "$work/emu.json" --clock "2024-05-02 09:00:00" >/dev/null
"$kvtlnk" -q --port sim download "$procedure" >/dev/null
"$kvtlnk" -q --port sim --archive "$work/field.db" upload --store >/dev/null
cp "$work/field.db" "$work/certified.db"
tag=$(sqlite3 "$work/certified.db" "SELECT tag FROM instruments ORDER BY tag LIMIT 1")
"$kvtlnk" -q --archive "$work/certified.db" archive interval "$tag" 90d >/dev/null
"$kvtlnk" -q --archive "$work/certified.db" --lab "$work/lab.toml" certificate "$tag" \
    --ambient 23.1C --humidity 45% -o "$work/certificate.html" >/dev/null
for name in field certified; do
    sqlite3 "$work/$name.db" "PRAGMA journal_mode=DELETE; PRAGMA page_size=512; VACUUM;" >/dev/null
    cp "$work/$name.db" "$out/$name-run.db"
done
