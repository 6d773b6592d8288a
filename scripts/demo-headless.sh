#!/usr/bin/env bash
# The demo on a machine without a display (scripts/demo.sh runs it there; it needs a build): on a
# session bus of its own, makes the demo installation if it is missing, registers the plug-in,
# configures a demo thermostat as a director does with the window on Qt's offscreen platform, saves a
# picture of the filled window per tab, prints the values read and the activity log, and ends the
# plug-in as a director does (window hidden, object released). Any failure ends it with a message and
# status 1; it never waits for a person.
#   bash scripts/demo-headless.sh [--out FOLDER] [DEVICE PATH]   (FOLDER default: demo-output)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${KR5M_BIN_DIR:-./build/bin}
out=demo-output
if [ "${1:-}" = --out ]; then
  [ $# -ge 2 ] || { echo "usage: bash scripts/demo-headless.sh [--out FOLDER] [DEVICE PATH]" >&2; exit 2; }
  out=$2
  shift 2
fi
limit=60   # seconds for the whole run: the demo takes a few
# Inside, standard error is the bus's log; messages go to the caller's standard error (descriptor 3).
if [ -n "${KR5M_DEMO_INSIDE:-}" ]; then say=3; else say=2; fi
fail() { echo "demo: $*" >&"$say"; exit 1; }

if [ -z "${KR5M_DEMO_INSIDE:-}" ]; then
  for program in "$bin/KR5MHUConfigure" "$bin/lnsdirector"; do
    [ -x "$program" ] || fail "$program is missing: build first (bash scripts/setup.sh)"
  done
  command -v dbus-run-session >/dev/null || fail "no session bus: dbus-run-session is missing (Debian package dbus-bin)"
  mkdir -p "$out" || fail "cannot make the output folder $out"
  out=$(cd "$out" && pwd)
  rm -f "$out"/*.png "$out/values.tsv" "$out/log.tsv" "$out/boxes.txt" "$out/bus.log"
  # A plug-in started by bus activation takes the bus daemon's environment, so this is set before the
  # bus starts: the window's files go to the output folder, and every message box is answered with
  # its default and recorded instead of waiting for a person.
  export KR5M_DEMO_INSIDE=1 KR5M_SNAPSHOT="$out" KR5M_ANSWERS=/dev/null KR5M_RECORD="$out/boxes.txt" \
         QT_QPA_PLATFORM=offscreen
  status=0
  # The bus daemon's and the programs' own messages go to bus.log, to keep the output readable.
  timeout -k 5 "$limit" dbus-run-session -- bash "$0" --out "$out" "$@" 3>&2 2>"$out/bus.log" || status=$?
  case $status in
    0) exit 0 ;;
    124|137) fail "the demo did not end within $limit seconds and was stopped (see $out/bus.log)" ;;
    *) exit "$status" ;;
  esac
fi

said=$("$bin/lnsdirector" demo-setup 2>&1) ||
  fail "the demo installation could not be made: $(printf '%s\n' "$said" | tail -n 1)"
reg=0
said=$("$bin/KR5MHUConfigure" /regplugin 2>&1) || reg=$?
[ "$reg" = 0 ] || [ "$reg" = 3 ] ||
  fail "the plug-in could not be registered (status $reg): $(printf '%s\n' "$said" | tail -n 1)"
device=${1:-$("$bin/lnsdirector" list Demo | awk 'NR == 1')}
[ -n "$device" ] || fail "the network Demo has no device"
network=${device%%/*}
echo "Configuring $device on a machine without a display"

ended=0
session=$("$bin/lnsdirector" session -c \
  "create; set networkName $network; send 13 7 $device; set Visible true; set Visible false; release; wait" 2>&1) || ended=$?
if [ -s "$out/boxes.txt" ]; then
  # title, text, buttons, icon, answer; the text with its line ends written as \r\n
  awk -F'\t' '{ gsub(/\\r\\n/, " "); print "  " $1 ": " $2 }' "$out/boxes.txt" >&3
  fail "the plug-in reported the above while configuring $device; nothing was shown"
fi
[ "$ended" = 0 ] ||
  fail "the plug-in failed: $(printf '%s\n' "$session" | grep -m1 '^error' || printf '%s\n' "$session" | tail -n 1)"
[ -s "$out/values.tsv" ] && ls "$out"/*.png >/dev/null 2>&1 || fail "the plug-in wrote no pictures or values to $out (see $out/bus.log)"

echo
echo "Values read (as the window shows them):"
awk -F'\t' 'BEGIN { printf "  %-22s %-16s %-20s %s\n", "Field", "Variable", "Value", "Units" }
            { printf "  %-22s %-16s %-20s %s\n", $1, $2 "[" $3 "]", $7 == "yes" ? $5 : "(not on this model)", $7 == "yes" ? $6 : "" }' "$out/values.tsv"
echo
echo "Activity log:"
awk -F'\t' '{ printf "  %s  %-5s  %s  %s\n", $1, $2, $3, $4 }' "$out/log.tsv"
echo
echo "Pictures of the window, one per tab, in $out:"
for picture in "$out"/*.png; do echo "  $(basename "$picture")"; done
