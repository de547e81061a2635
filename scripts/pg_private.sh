#!/usr/bin/env bash
# A private PostgreSQL server for the tests, in a folder of its own:
#   pg_private.sh start DIR   initdb into DIR/data and start the server on a Unix socket in DIR
#                             only (no TCP port); prints the connection as a URI
#   pg_private.sh stop DIR    stop that server by its process id and remove DIR
# Where PostgreSQL is not installed, start prints "SKIPPED: ..." and succeeds, so the tests that
# need the server skip and the rest runs.
set -euo pipefail
command=${1:-}
dir=${2:-}
if [ -z "$dir" ] || { [ "$command" != start ] && [ "$command" != stop ]; }; then
    echo "usage: $0 start|stop DIR" >&2
    exit 2
fi

stop() {
    local pidfile="$dir/data/postmaster.pid"
    if [ -f "$pidfile" ]; then
        local pid
        pid=$(head -n 1 "$pidfile")
        # SIGINT: the server's fast shutdown; wait until that process is gone.
        if kill -INT "$pid" 2>/dev/null; then
            while kill -0 "$pid" 2>/dev/null; do sleep 0.1; done
        fi
    fi
    rm -rf "$dir"
}

if [ "$command" = stop ]; then
    stop
    exit 0
fi

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
    echo "SKIPPED: PostgreSQL is not installed (Debian package postgresql)"
    exit 0
fi
stop  # a server left from an earlier run
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
as_owner=()
if [ "$(id -u)" -eq 0 ]; then
    # initdb refuses to run as root: the server belongs to the postgres user.
    chown postgres "$dir"
    as_owner=(runuser -u postgres --)
fi
"${as_owner[@]}" "$bin/initdb" -D "$dir/data" -A trust -U kvtlnk -E UTF8 --locale=C.UTF-8 \
    >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
"${as_owner[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
    -o "-k $dir -c listen_addresses='' -c max_connections=50 -c fsync=off" start >/dev/null ||
    { cat "$dir/server.log" >&2; exit 1; }
echo "postgresql:///postgres?host=$dir&user=kvtlnk"
