#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh), makes the demo installation if it is missing, registers the
# plug-in, and configures a demo thermostat the way a network-management director does: the plug-in's
# window opens filled with the thermostat's values. Without a display (neither DISPLAY nor
# WAYLAND_DISPLAY) scripts/demo-headless.sh does the same on Qt's offscreen platform, saves pictures
# of the filled window, prints the values and the activity log, and ends by itself. Without a session
# bus it brings its own.
#   bash scripts/demo.sh [--out FOLDER] [DEVICE PATH]   (default: the first thermostat of the network
#   "Demo"; FOLDER, for the pictures without a display, default demo-output)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  exec bash scripts/demo-headless.sh "$@"
fi
if [ "${1:-}" = --out ]; then
  shift 2
fi
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  exec dbus-run-session -- bash "$0" "$@"
fi

bin=./build/bin
"$bin/lnsdirector" demo-setup >/dev/null
"$bin/KR5MHUConfigure" /regplugin
device=${1:-$("$bin/lnsdirector" list Demo | awk "NR == 1")}
echo "Configuring $device (close the window or press Exit to end)"
exec "$bin/lnsdirector" configure "${device%%/*}" "$device"
