#!/usr/bin/env bash
# Sets up and builds (scripts/setup.sh, every compiler warning an error, the same tree as the demo's), checks the format
# (scripts/check-format.sh), runs the whole test suite through CTest, then clang-tidy
# (scripts/check-tidy.sh), then the whole suite again built with AddressSanitizer and
# UndefinedBehaviorSanitizer (scripts/sanitize.sh) and every fuzz target for 30 s (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
bash scripts/setup.sh
bash scripts/check-format.sh
# Four at a time on two cores: the suite spends half its time waiting (buses, processes, locks).
ctest --test-dir build --output-on-failure -j4
bash scripts/check-tidy.sh
bash scripts/sanitize.sh
bash scripts/fuzz.sh all 30
echo "test command: all passed in $(( (SECONDS - started) / 60 )) min $(( (SECONDS - started) % 60 )) s"
