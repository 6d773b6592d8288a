#!/usr/bin/env bash
# Runs a test on its own private session bus, in a fresh world: the registry hives and the XDG folders
# are set before the bus starts, so that servers the bus activates see the same environment as the test.
set -eu
world=$(mktemp -d "${TMPDIR:-/tmp}/kr5m-test.XXXXXX")
trap 'rm -rf "$world"' EXIT
mkdir -p "$world/registry" "$world/data" "$world/config"
export LONWORKS_REGISTRY_DIR="$world/registry" XDG_DATA_HOME="$world/data" XDG_CONFIG_HOME="$world/config"
export KR5M_TEST_WORLD="$world"
dbus-run-session -- "$@"
