#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh), then runs the whole test suite through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
ctest --test-dir build --output-on-failure -j2
