#!/usr/bin/env bash
# Starts or stops a private MariaDB server for the database tests: its own data folder in
# the folder given, a socket there, no network. Without MariaDB installed, start says so
# and leaves no socket, and the tests that need the server skip with that message.
#   scripts/sql-server.sh start|stop FOLDER
set -euo pipefail
action=$1
dir=$2

stop() {
  if [ -f "$dir/pid" ]; then
    pid=$(cat "$dir/pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 100); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
  fi
  [ -L "$dir/socket" ] && rm -f "$(readlink "$dir/socket")"
  rm -rf "$dir"
}

case $action in
  stop)
    stop
    ;;
  start)
    stop
    mkdir -p "$dir"
    if ! command -v mariadbd >/dev/null || ! command -v mariadb-install-db >/dev/null ||
       ! command -v mariadb >/dev/null; then
      echo "MariaDB (Debian packages mariadb-server, mariadb-client) is not installed" |
        tee "$dir/missing"
      exit 0
    fi
    user=$(id -un)
    # A socket path must fit in 107 bytes; a deep build folder gets one in the temporary
    # folder, linked from the data folder.
    socket="$dir/socket"
    if [ ${#socket} -gt 100 ]; then
      real=$(mktemp -u "${TMPDIR:-/tmp}/pixmeta-sql.XXXXXX")
      ln -s "$real" "$socket"
      socket=$real
    fi
    mariadb-install-db --no-defaults --datadir="$dir/data" --user="$user" \
      --auth-root-authentication-method=normal --skip-test-db >"$dir/install.log" 2>&1 || {
      cat "$dir/install.log"
      exit 1
    }
    mariadbd --no-defaults --datadir="$dir/data" --socket="$socket" --skip-networking \
      --user="$user" --pid-file="$dir/pid" --log-error="$dir/server.log" \
      --innodb-buffer-pool-size=16M --skip-log-bin >"$dir/server.out" 2>&1 </dev/null &
    for _ in $(seq 300); do
      if mariadb --no-defaults --socket="$dir/socket" -u root -e "SELECT 1" >/dev/null 2>&1; then
        echo "MariaDB test server running on $dir/socket"
        exit 0
      fi
      sleep 0.1
    done
    cat "$dir/server.log" >&2 || true
    echo "MariaDB test server did not start" >&2
    exit 1
    ;;
  *)
    echo "usage: $0 start|stop FOLDER" >&2
    exit 2
    ;;
esac
