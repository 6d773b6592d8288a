#!/usr/bin/env bash
# Runs a test on its own private session bus, in a fresh world: the registry hives and the XDG folders
# are set before the bus starts, so that servers the bus activates see the same environment as the test.
set -eu
world=$(mktemp -d "${TMPDIR:-/tmp}/kr5m-test.XXXXXX")
trap 'rm -rf "$world"' EXIT
# On a PostgreSQL store the run gets a fresh database of its own, dropped at the end (also when the
# test fails); the servers the bus starts inherit its address.
if [ -n "${LONWORKS_OBJECT_SERVER:-}" ]; then
  server=$LONWORKS_OBJECT_SERVER
  database=kr5m_bus_$$
  psql -q -v ON_ERROR_STOP=1 "$server" -c "CREATE DATABASE $database" >/dev/null
  trap 'psql -q "$server" -c "DROP DATABASE IF EXISTS $database WITH (FORCE)" >/dev/null; rm -rf "$world"' EXIT
  base=${server%%\?*} query=
  case $server in *\?*) query=?${server#*\?} ;; esac
  export LONWORKS_OBJECT_SERVER="${base%/*}/$database$query"
fi
mkdir -p "$world/registry" "$world/data" "$world/config"
export LONWORKS_REGISTRY_DIR="$world/registry" XDG_DATA_HOME="$world/data" XDG_CONFIG_HOME="$world/config"
export KR5M_TEST_WORLD="$world"
# Under the sanitizers (scripts/sanitize.sh), processes the bus activates write their output to the
# bus daemon, where a report would fail nothing: every process of the test writes its reports to files
# in the world instead, and the test fails when one appears.
if [ -n "${KR5M_SANITIZER_REPORTS:-}" ]; then
  mkdir -p "$world/sanitizer"
  export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}log_path=$world/sanitizer/asan"
  export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}log_path=$world/sanitizer/ubsan"
fi
status=0
dbus-run-session -- "$@" || status=$?
if [ -n "${KR5M_SANITIZER_REPORTS:-}" ] && [ -n "$(ls -A "$world/sanitizer")" ]; then
  for report in "$world"/sanitizer/*; do
    echo "== sanitizer report $(basename "$report")" >&2
    cat "$report" >&2
  done
  status=1
fi
exit $status
