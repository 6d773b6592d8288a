#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh), makes the demo installation if it is missing, registers the
# plug-in, and configures a demo thermostat the way a network-management director does: the plug-in's
# window opens filled with the thermostat's values. Without a display it runs under xvfb-run (the
# window exists, nobody sees it); without a session bus it brings its own.
#   bash scripts/demo.sh [DEVICE PATH]       (default: the first thermostat of the network "Demo")
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${KR5M_IN_XVFB:-}" ]; then
  export KR5M_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x900x24" bash "$0" "$@"
fi
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  exec dbus-run-session -- bash "$0" "$@"
fi

bin=./build/bin
"$bin/lnsdirector" demo-setup >/dev/null
"$bin/KR5MHUConfigure" /regplugin
device=${1:-$("$bin/lnsdirector" list Demo | awk "NR == 1")}
echo "Configuring $device (close the window or press Exit to end)"
exec "$bin/lnsdirector" configure Demo "$device"
