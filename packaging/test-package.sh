#!/usr/bin/env bash
# Builds the Debian package from the build and checks what dpkg-deb says of it: the description, the
# dependencies (from the linked libraries, plus those loaded at run time) and the installed files.
# usage: test-package.sh BUILD_DIR
set -euo pipefail
build=$1
out=$(mktemp -d "${TMPDIR:-/tmp}/kr5m-package.XXXXXX")
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$out"/*.deb)
info=$(dpkg-deb --info "$deb")
depends=$(dpkg-deb --field "$deb" Depends)
for wanted in libqt6core6 libqt6widgets6 libqt6sql6 libqt6dbus6 libc6 libqt6sql6-sqlite qt6-qpa-plugins dbus; do
  grep -Eq "(^|, )$wanted( |,|$)" <<<"$depends" || fail "Depends lacks $wanted: $depends"
done
grep -q 'Description: configuration plug-in for Kestrova KR5M-HU' <<<"$info" || fail "no description: $info"
contents=$(dpkg-deb --contents "$deb" | awk '{ print $6 }')
for file in ./usr/bin/KR5MHUConfigure ./usr/bin/lnsdirector ./usr/bin/XIF32BIN \
            ./usr/share/KR5MHUConfigure/KR5M-HUConfigure.chm \
            ./usr/share/applications/com.kestrova.KR5MHUConfigure.desktop \
            ./usr/share/metainfo/com.kestrova.KR5MHUConfigure.metainfo.xml \
            ./usr/share/icons/hicolor/32x32/apps/com.kestrova.KR5MHUConfigure.png \
            ./usr/share/man/man1/lnsdirector.1 ./usr/share/man/man1/XIF32BIN.1 ./usr/share/man/man1/KR5MHUConfigure.1 \
            ./usr/share/bash-completion/completions/lnsdirector; do
  grep -qxF "$file" <<<"$contents" || fail "the package lacks $file"
done
echo "$(basename "$deb"): $depends"
