#!/usr/bin/env bash
# Sets everything up and runs every test suite (offscreen, no display needed).
# The data-layer suites run a second time on PostgreSQL: a throwaway server
# in a temporary folder, reached through a Unix socket only, stopped at the
# end whatever happens.  Without PostgreSQL those runs report "skipped".
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen

PG_BIN=/usr/lib/postgresql/15/bin
if [[ -x $PG_BIN/initdb ]]; then
  PG_DIR=$(mktemp -d /tmp/weibao-pg.XXXXXX)
  # The server refuses to run as root: under root it runs as "postgres".
  PG_USER=$(id -un)
  RUN=()
  if [[ $(id -u) -eq 0 ]]; then
    PG_USER=postgres
    RUN=(runuser -u postgres --)
    chown postgres "$PG_DIR"
  fi
  stop_pg() {
    "${RUN[@]}" "$PG_BIN/pg_ctl" -D "$PG_DIR/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$PG_DIR"
  }
  trap stop_pg EXIT
  "${RUN[@]}" "$PG_BIN/initdb" -D "$PG_DIR/data" -U "$PG_USER" --auth=trust -E UTF8 --locale=C.UTF-8 >/dev/null
  # Every login is trusted except one role's, which must give its password:
  # the data layer's test of a wrong password (in PGPASSFILE) logs in as it.
  sed -i '1i local all weibao_password_test scram-sha-256' "$PG_DIR/data/pg_hba.conf"
  "${RUN[@]}" "$PG_BIN/pg_ctl" -D "$PG_DIR/data" -l "$PG_DIR/server.log" -w \
    -o "-k $PG_DIR -c listen_addresses='' -c fsync=off -p 5439" start >/dev/null
  export PGHOST=$PG_DIR PGPORT=5439 PGUSER=$PG_USER
  "${RUN[@]}" "$PG_BIN/psql" -h "$PG_DIR" -p 5439 -U "$PG_USER" -d postgres -qX -v ON_ERROR_STOP=1 \
    -c "CREATE ROLE weibao_password_test LOGIN PASSWORD 'weibao-test-secret'"
  echo "PostgreSQL for the tests: socket in $PG_DIR, user $PG_USER"
else
  echo "PostgreSQL 15 is not installed: the PostgreSQL runs of the suites are skipped"
fi

cd build
ctest --output-on-failure -j"$(nproc)" --timeout 600
