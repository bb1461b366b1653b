#!/usr/bin/env bash
# A private PostgreSQL server for the tests and the benchmark: made in a fresh folder, listening on
# 127.0.0.1 only, trusting loopback connections, run as an ordinary user (the postgres system
# user when called as root). Idempotent start; stop removes the folder.
# Usage: tools/pg-test-server.sh start|stop|crash|restart STATE_DIR
#   start writes STATE_DIR/url (postgresql://corvane@127.0.0.1:PORT/postgres) once the server
#   answers; when it cannot start, it prints why on one loud line, writes STATE_DIR/unavailable
#   and exits 0, so the tests that need it skip with that reason instead of failing the set-up.
#   CORVANE_PG_FSYNC=on keeps the server's fsync (benchmarks); the tests' data needs none.
set -uo pipefail
action=${1:-}
state=${2:-}
[ -n "$action" ] && [ -n "$state" ] || { echo "usage: $0 start|stop STATE_DIR" >&2; exit 2; }
mkdir -p "$state"
state=$(cd "$state" && pwd)

unavailable() {
  echo "*** PostgreSQL test server unavailable: $1 -- PostgreSQL tests will be SKIPPED ***" >&2
  rm -f "$state/url"
  echo "$1" >"$state/unavailable"
  exit 0
}

bin=""
for dir in /usr/lib/postgresql/*/bin; do
  [ -x "$dir/pg_ctl" ] && bin=$dir
done

as_owner() { # runs a PostgreSQL program as the owner of the data folder, never as root
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

data=""
[ -f "$state/data-dir" ] && data=$(cat "$state/data-dir")

start_on() {
  as_owner "$bin/pg_ctl" -D "$data/cluster" -l "$data/server.log" -w -t 30 \
    -o "-c listen_addresses=127.0.0.1 -p $1 -k $data -c fsync=${CORVANE_PG_FSYNC:-off} -c max_connections=50" \
    start >/dev/null 2>&1
}

case "$action" in
  start)
    [ -n "$bin" ] || unavailable "pg_ctl not found (install the Debian package postgresql)"
    if [ "$(id -u)" -eq 0 ] && ! id postgres >/dev/null 2>&1; then
      unavailable "running as root and there is no postgres user to run the server"
    fi
    if [ -n "$data" ] && [ -f "$state/url" ] && as_owner "$bin/pg_ctl" -D "$data" status >/dev/null 2>&1; then
      exit 0
    fi
    rm -f "$state/url" "$state/unavailable"
    data=$(mktemp -d "${TMPDIR:-/tmp}/corvane-pg.XXXXXX")
    echo "$data" >"$state/data-dir"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$data"
    as_owner "$bin/initdb" -D "$data/cluster" -U corvane -A trust -E UTF8 --locale=C.UTF-8 \
      >"$state/initdb.log" 2>&1 || unavailable "initdb failed (see $state/initdb.log)"
    # A free port in 20000-39999 by trying: another server already listening makes pg_ctl fail.
    for _ in 1 2 3 4 5 6 7 8; do
      port=$((20000 + RANDOM % 20000))
      (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && continue
      if start_on "$port"; then
        echo "postgresql://corvane@127.0.0.1:$port/postgres" >"$state/url"
        echo "PostgreSQL test server on 127.0.0.1:$port ($data)"
        exit 0
      fi
    done
    unavailable "pg_ctl start failed (see $data/server.log)"
    ;;
  stop)
    if [ -n "$data" ] && [ -n "$bin" ]; then
      as_owner "$bin/pg_ctl" -D "$data/cluster" -m immediate -w stop >/dev/null 2>&1
      rm -rf "$data"
    fi
    rm -f "$state/url" "$state/data-dir"
    exit 0
    ;;
  crash) # as a power cut does to the server: no shutdown checkpoint, the folder kept
    as_owner "$bin/pg_ctl" -D "$data/cluster" -m immediate -w stop >/dev/null 2>&1
    exit 0
    ;;
  restart) # after a crash: recovers on the same port
    port=$(sed -E 's|.*:([0-9]+)/.*|\1|' "$state/url")
    start_on "$port" || { echo "restart failed (see $data/server.log)" >&2; exit 1; }
    exit 0
    ;;
  *)
    echo "usage: $0 start|stop|crash|restart STATE_DIR" >&2
    exit 2
    ;;
esac
