#!/usr/bin/env bash
# with-own-postgres.sh COMMAND...: runs the command against a PostgreSQL cluster of its own, started in
# a fresh folder and stopped afterwards (KR5M_PG_CLUSTER names the folder), for tests that restart the
# server: the cluster the other tests share must not go away under them.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d /tmp/kr5m-pg-own-XXXXXX)
trap '"$here/pg-cluster.sh" stop "$dir"' EXIT
"$here/pg-cluster.sh" start "$dir"
LONWORKS_OBJECT_SERVER="postgresql:///postgres?host=$dir&port=5432&user=postgres" KR5M_PG_CLUSTER="$dir" "$@"
