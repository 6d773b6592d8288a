#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh), then runs the program. Without a display it runs under
# xvfb-run, so the window exists but nobody sees it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
run=()
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  run=(xvfb-run -a)
fi
exec "${run[@]}" ./build/bin/KR5MHUConfigure "$@"
