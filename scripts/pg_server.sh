#!/usr/bin/env bash
# A private PostgreSQL server for the tests: "start" makes one in a new temporary folder (initdb,
# trust on loopback only, a free port, its socket in that folder; run as the postgres user when
# this is root) and prints the line to eval, which sets PARLEY_TEST_DATABASE (its URL) and
# PARLEY_PG_DIR; "stop DIR" stops it and removes the folder.
set -euo pipefail

bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)"
run=()
if [ "$(id -u)" -eq 0 ]; then run=(runuser -u postgres --); fi

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

case "${1:-}" in
  start)
    [ -n "$bin" ] || { echo "pg_server: no PostgreSQL server installed" >&2; exit 1; }
    dir="$(mktemp -d /tmp/parley-pg-XXXXXX)"
    chmod 755 "$dir"
    if [ "$(id -u)" -eq 0 ]; then chown postgres: "$dir"; fi
    port="$(free_port)"
    "${run[@]}" "$bin/initdb" -D "$dir/data" -A trust -U parley -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1
    "${run[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w \
      -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null
    "${run[@]}" "$bin/createdb" -h 127.0.0.1 -p "$port" -U parley parley_test
    echo "export PARLEY_TEST_DATABASE=postgresql://parley@127.0.0.1:$port/parley_test PARLEY_PG_DIR=$dir"
    ;;
  stop)
    dir="${2:?the folder start printed}"
    "${run[@]}" "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    rm -rf "$dir"
    ;;
  *)
    echo "usage: pg_server.sh start | stop DIR" >&2
    exit 2
    ;;
esac
