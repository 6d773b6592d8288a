#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh) with every compiler warning an error, then runs the whole
# test suite through CTest; then the same suite built with the sanitizers (scripts/sanitize.sh), and
# every fuzz target for 30 seconds on its corpus (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
KR5M_WERROR=ON bash scripts/setup.sh
ctest --test-dir build --output-on-failure -j2
bash scripts/sanitize.sh
bash scripts/fuzz.sh all 30
