#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh) with every compiler warning an error, checks the format
# (scripts/check-format.sh) and runs clang-tidy (scripts/check-tidy.sh), then runs the whole test
# suite through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
KR5M_WERROR=ON bash scripts/setup.sh
bash scripts/check-format.sh
bash scripts/check-tidy.sh
ctest --test-dir build --output-on-failure -j2
