#!/usr/bin/env bash
# A private PostgreSQL cluster for the tests: pg-cluster.sh start|restart|stop FOLDER, or
# pg-cluster.sh bounce FOLDER SECONDS (down now, up again that much later, in the background). The server listens
# only on a Unix socket in FOLDER and trusts local logins; it refuses to run as root, so as root it
# runs as the postgres user.
set -eu
action=$1 dir=$2
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
options="-k $dir -c listen_addresses= -p 5432 -c fsync=off -c max_connections=200"
as_server() {
    if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}
case $action in
start)
    if [ -d "$dir/data" ]; then as_server "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true; fi
    rm -rf "$dir"
    mkdir -p "$dir"
    if [ "$(id -u)" = 0 ]; then chown postgres "$dir"; fi
    as_server "$bin/initdb" -D "$dir/data" --auth=trust -U postgres -E UTF8 >"$dir/initdb.log"
    # One role logs in with a password only, for the tests of a wrong one.
    sed -i '1i local all kr5m_password scram-sha-256' "$dir/data/pg_hba.conf"
    as_server "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -o "$options" start >/dev/null
    as_server "$bin/psql" -q -h "$dir" -U postgres -d postgres \
        -c "CREATE ROLE kr5m_password LOGIN SUPERUSER PASSWORD 'right'" >/dev/null
    ;;
restart)
    # Every connection is dropped, as when the server goes down under its clients.
    as_server "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -m fast -w -o "$options" restart >/dev/null
    ;;
bounce)
    as_server "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null
    (sleep "${3:-2}"; as_server "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -o "$options" start) \
        >/dev/null 2>&1 </dev/null &
    ;;
stop)
    if [ -d "$dir/data" ]; then as_server "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null || true; fi
    rm -rf "$dir"
    ;;
esac
