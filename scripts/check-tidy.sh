#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy: the bug-prone and performance checks) over the program's and the
# tools' sources, two files at a time, with build/compile_commands.json; any finding fails (exit 1).
# --tests takes the test programs in too. Needs a build (the generated moc headers).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

folders='src|tools'
case "${1:-}" in
  --tests) folders='src|tools|tests' ;;
  "") ;;
  *) echo "usage: $0 [--tests]" >&2; exit 2 ;;
esac

runner=${RUN_CLANG_TIDY:-run-clang-tidy}
command -v "$runner" >/dev/null || { echo "check-tidy: $runner not found (Debian package clang-tidy)" >&2; exit 2; }
[ -f build/compile_commands.json ] || { echo "check-tidy: no build/compile_commands.json; run scripts/setup.sh first" >&2; exit 2; }

# Our own headers are checked too, not Qt's nor the generated ones in build/. The program's headers are
# reached through each library's include root in build/include (links into src/), so that is ours too.
# Everything is compiled with one of g++'s precompiled headers of Qt's and the standard headers
# (cmake/Precompiled.cmake), which clang cannot read: the checks see each file with its own includes
# only, so an include a file leaves out fails here.
mkdir -p build/tidy
sed -E 's# -Winvalid-pch -include [^ ]*/cmake_pch\.hxx##g' build/compile_commands.json > build/tidy/compile_commands.json
start=$(date +%s)
if "$runner" -p build/tidy -j2 -quiet -header-filter="^$root/(($folders)|build/include)/" "^$root/($folders)/" > build/clang-tidy.log 2>&1; then
  echo "check-tidy: clean ($(( $(date +%s) - start )) s)"
else
  sed 's/\x1b\[[0-9;]*m//g' build/clang-tidy.log | grep -E '(error|warning):' | sort -u || true
  echo "check-tidy: findings above (whole output in build/clang-tidy.log)" >&2
  exit 1
fi
