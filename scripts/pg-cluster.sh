#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests, from the Debian server
# package: initdb into a new temporary folder, listening on a Unix socket in
# that folder only (no TCP), trust authentication for the folder's owner.
#
# Sourced: pg_cluster_start exports QMX_TEST_PG (a libpq connection string)
# and QMX_TEST_PG_DIR; pg_cluster_stop stops the cluster and removes the
# folder (call it from an EXIT trap). pg_cluster_crash stops the server at
# once, as a crash would, and pg_cluster_resume starts it again on the same
# socket (tests of a database that goes away under a running server). As root, the cluster runs as the
# "postgres" user, since the server refuses to run as root.

pg_cluster_bin() {
  local dir
  for dir in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
    [ -x "$dir/initdb" ] && [ -x "$dir/pg_ctl" ] && { echo "$dir"; return 0; }
  done
  return 1
}

pg_cluster_start() {
  local bin
  bin=$(pg_cluster_bin) || { echo "PostgreSQL server binaries not found" >&2; return 1; }
  QMX_TEST_PG_DIR=$(mktemp -d "${TMPDIR:-/tmp}/qmx-pg-XXXXXX")
  export QMX_TEST_PG_DIR
  local as=() user
  user=$(id -un)
  if [ "$(id -u)" -eq 0 ]; then
    user=postgres
    id -u "$user" >/dev/null 2>&1 || useradd --system --no-create-home "$user"
    chown "$user" "$QMX_TEST_PG_DIR"
    as=(runuser -u "$user" --)
  fi
  chmod 700 "$QMX_TEST_PG_DIR"
  # The socket's name carries a port number; no TCP port is opened, so any
  # number does, but a random one keeps two runs' names apart.
  local port=$((20000 + RANDOM % 40000))
  "${as[@]}" "$bin/initdb" -D "$QMX_TEST_PG_DIR/data" -U "$user" --auth=trust \
    --encoding=UTF8 --locale=C.UTF-8 >"$QMX_TEST_PG_DIR/initdb.log" 2>&1 ||
    { cat "$QMX_TEST_PG_DIR/initdb.log" >&2; return 1; }
  echo "-c listen_addresses='' -k $QMX_TEST_PG_DIR -p $port -c max_connections=300 \
        -c fsync=off -c synchronous_commit=off -c full_page_writes=off" >"$QMX_TEST_PG_DIR/options"
  pg_cluster_resume || return 1
  "${as[@]}" "$bin/createdb" -h "$QMX_TEST_PG_DIR" -p "$port" -U "$user" qmx_test
  export QMX_TEST_PG="host=$QMX_TEST_PG_DIR port=$port user=$user dbname=qmx_test"
  echo "PostgreSQL test cluster: $QMX_TEST_PG"
}

# Runs pg_ctl on the cluster as its owner.
pg_cluster_ctl() {
  local bin as=()
  bin=$(pg_cluster_bin) || return 1
  [ "$(id -u)" -eq 0 ] && as=(runuser -u postgres --)
  "${as[@]}" "$bin/pg_ctl" -D "$QMX_TEST_PG_DIR/data" -l "$QMX_TEST_PG_DIR/server.log" -w "$@"
}

pg_cluster_resume() {
  pg_cluster_ctl -o "$(cat "$QMX_TEST_PG_DIR/options")" start >/dev/null ||
    { cat "$QMX_TEST_PG_DIR/server.log" >&2; return 1; }
}

pg_cluster_crash() {
  pg_cluster_ctl -m immediate stop >/dev/null
}

pg_cluster_stop() {
  [ -n "${QMX_TEST_PG_DIR:-}" ] && [ -d "$QMX_TEST_PG_DIR" ] || return 0
  local bin as=()
  bin=$(pg_cluster_bin) || true
  [ "$(id -u)" -eq 0 ] && as=(runuser -u postgres --)
  if [ -n "$bin" ] && [ -f "$QMX_TEST_PG_DIR/data/postmaster.pid" ]; then
    "${as[@]}" "$bin/pg_ctl" -D "$QMX_TEST_PG_DIR/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$QMX_TEST_PG_DIR"
  unset QMX_TEST_PG QMX_TEST_PG_DIR
}
