#!/usr/bin/env bash
# Installs the build into a staging prefix and uses only the installed files, as a site would: the
# desktop files validate, the manual pages format cleanly, lnsdirector sets up the demo and lists it as
# JSON, and the installed program's registration lets the bus start it for a configure command.
# Runs on a private bus in a fresh world (cmake/run-on-bus.sh); usage: test-install.sh BUILD_DIR
set -euo pipefail
build=$1
stage=$KR5M_TEST_WORLD/stage
app_id=com.kestrova.KR5MHUConfigure
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$stage" >/dev/null
for file in bin/KR5MHUConfigure bin/lnsdirector bin/XIF32BIN share/KR5MHUConfigure/KR5M-HUConfigure.chm \
            share/applications/$app_id.desktop share/metainfo/$app_id.metainfo.xml \
            share/icons/hicolor/32x32/apps/$app_id.png share/bash-completion/completions/lnsdirector \
            share/man/man1/lnsdirector.1 share/man/man1/XIF32BIN.1 share/man/man1/KR5MHUConfigure.1; do
  [ -f "$stage/$file" ] || fail "$file is not installed"
done

desktop-file-validate "$stage/share/applications/$app_id.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$stage/share/metainfo/$app_id.metainfo.xml" >/dev/null || {
  appstreamcli validate --no-net "$stage/share/metainfo/$app_id.metainfo.xml" >&2; fail "metainfo"; }
for page in "$stage"/share/man/man1/*.1; do
  said=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$said" ] || fail "$(basename "$page"): $said"
  grep -q '@PROJECT_VERSION@' "$page" && fail "$(basename "$page") still has a placeholder"
done
bash -n "$stage/share/bash-completion/completions/lnsdirector" || fail "bash completion"

director=$stage/bin/lnsdirector
"$director" --version | grep -Eqx 'lnsdirector [0-9]+\.[0-9]+\.[0-9]+' || fail "lnsdirector --version"
"$director" demo-setup >/dev/null || fail "installed lnsdirector demo-setup"
"$director" list Demo --json >"$KR5M_TEST_WORLD/list.json" || fail "installed lnsdirector list --json"
device=$(python3 - "$KR5M_TEST_WORLD/list.json" <<'PY'
import json, sys
listing = json.load(open(sys.argv[1]))
assert listing["network"] == "Demo", listing
assert listing["devices"] and all(p.startswith("Demo/") for p in listing["devices"]), listing
print(listing["devices"][0])
PY
) || fail "list --json is not the network's listing"

# Registration by the installed program names it in the activation file, and the bus starts it from there.
"$stage/bin/KR5MHUConfigure" /regplugin || fail "installed KR5MHUConfigure /regplugin"
service=$XDG_DATA_HOME/dbus-1/services/KR5MHUConfigure.LNSPlugInAPI.service
grep -qxF "Exec=$stage/bin/KR5MHUConfigure -Embedding" "$service" || fail "activation file: $(cat "$service")"
rm -f "$KR5M_SNAPSHOT"/* "$KR5M_RECORD"
"$director" session -c "create; set networkName Demo; send 13 7 $device; set Visible true" >/dev/null ||
  fail "configure command on $device"
pid=$(dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetConnectionUnixProcessID string:KR5MHUConfigure.LNSPlugInAPI | awk '{ print $2 }')
[ "$(readlink "/proc/$pid/exe")" = "$stage/bin/KR5MHUConfigure" ] || fail "the bus started $(readlink "/proc/$pid/exe")"
"$director" session -c "create; set Visible false; release; wait" >/dev/null || fail "ending the plug-in"
[ -s "$KR5M_SNAPSHOT/values.tsv" ] || fail "the configure command showed no values"
[ ! -s "$KR5M_RECORD" ] || fail "message boxes: $(cat "$KR5M_RECORD")"
echo "installed into $stage and configured $device through it"
