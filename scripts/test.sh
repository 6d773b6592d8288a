#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh) with every compiler warning an error, then runs the whole
# test suite through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
KR5M_WERROR=ON bash scripts/setup.sh
ctest --test-dir build --output-on-failure -j2
