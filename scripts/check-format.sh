#!/usr/bin/env bash
# Checks that every C++ source file in git is formatted as .clang-format says; lists the files that
# differ and exits 1. With --fix, rewrites them instead.
set -euo pipefail
cd "$(dirname "$0")/.."

fix=0
case "${1:-}" in
  --fix) fix=1 ;;
  "") ;;
  *) echo "usage: $0 [--fix]" >&2; exit 2 ;;
esac

format=${CLANG_FORMAT:-clang-format}
command -v "$format" >/dev/null || { echo "check-format: $format not found (Debian package clang-format)" >&2; exit 2; }

mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
if [ "$fix" = 1 ]; then
  printf '%s\0' "${files[@]}" | xargs -0 -P2 -n 16 "$format" -i --style=file
  exit 0
fi

# One clang-format per file, two at a time; a file is named when it would change.
export format
differ=$(printf '%s\0' "${files[@]}" \
           | xargs -0 -P2 -I{} sh -c '"$format" --dry-run --Werror --ferror-limit=1 --style=file "$1" >/dev/null 2>&1 || echo "$1"' _ {} \
           | sort)
if [ -n "$differ" ]; then
  echo "check-format: $(wc -l <<<"$differ") file(s) differ from .clang-format (scripts/check-format.sh --fix rewrites them):"
  echo "$differ"
  exit 1
fi
echo "check-format: ${#files[@]} files formatted"
