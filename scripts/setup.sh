#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need (when missing), then configures
# and builds into build/. Run as root on Debian 12 for the installation step; later runs skip it.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build g++                          # the build
  qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev # Qt 6 Widgets, SQL, D-Bus, Test (+ the GL headers Qt's CMake files ask for)
  qt6-tools-dev qt6-l10n-tools qt6-translations-l10n # the translations: lupdate / lrelease, and Qt's own for its buttons
  libqt6sql6-sqlite                              # SQLite driver for the object server and the registry
  libqt6sql6-psql postgresql                     # PostgreSQL store: Qt's driver, and the private server the tests start
  dbus-daemon dbus-bin                           # the session bus: automation server, tests (dbus-run-session)
  xvfb xauth                                     # running the window on a machine without a display
  desktop-file-utils appstream man-db python3    # the install test: desktop entry, metainfo, manual pages, JSON
  dpkg-dev                                       # cpack -G DEB: dependencies from the linked libraries
  clang-format clang-tidy                        # the format and lint checks of the test command
  clang libclang-rt-14-dev                       # the fuzz targets (scripts/fuzz.sh)
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Every compiler warning is an error (KR5M_WERROR=OFF turns that off). The demo and the test command
# build with the same flags into the same tree, so that running one after the other rebuilds nothing.
# Line tables (-g1) give a backtrace its functions and lines and take a sixth off the build; a debugging
# session that needs local variables configures a tree of its own with -g.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
  -DKR5M_WERROR="${KR5M_WERROR:-ON}" >/dev/null
cmake --build build -j"$(nproc)"
