#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer) in
# build-fuzz/ and runs one or all of them on their seed corpora for the given time.
#   scripts/fuzz.sh [TARGET|all] [SECONDS]      defaults: all, 30 seconds per target
# Targets: the fuzz_<target>.cpp files in fuzz/. New inputs go to build-fuzz/corpus/<target>/, the
# committed seeds stay as they are; a crash is kept as build-fuzz/artifacts/<target>/crash-*.
# Per target it prints "fuzz <target>: runs N crashes C"; it fails when any target crashed.
set -euo pipefail
cd "$(dirname "$0")/.."
which=${1:-all}
seconds=${2:-30}

if [ "$which" = all ]; then
  targets=()
  for f in fuzz/fuzz_*.cpp; do t=${f#fuzz/fuzz_}; targets+=("${t%.cpp}"); done
else
  [ -f "fuzz/fuzz_$which.cpp" ] || { echo "no fuzz target '$which' (fuzz/fuzz_*.cpp)" >&2; exit 2; }
  targets=("$which")
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DKR5M_FUZZ=ON "${launcher[@]}" >/dev/null
started=$SECONDS
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}"
built=$SECONDS

# Qt's and the system libraries' objects that live until exit are no leaks of ours; the parsers
# allocate nothing that outlives a run, so a leak report here is real.
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=0:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen
# One target's run; its exit status is 1 when it crashed or failed.
fuzz_one() {
  local t=$1 corpus=build-fuzz/corpus/$1 artifacts=build-fuzz/artifacts/$1 log=build-fuzz/fuzz-$1.log
  mkdir -p "$corpus" "$artifacts"
  rm -f "$artifacts"/*
  local options=(-max_total_time="$seconds" -artifact_prefix="$artifacts/" -print_final_stats=1)
  # A clip amplifies: a few hundred bytes may ask for a gigabyte of frames. The memory that
  # AddressSanitizer holds back after a free counts too, so it is kept small.
  local asan=$ASAN_OPTIONS rc
  [ "$t" = avi ] && options+=(-rss_limit_mb=256) && asan+=:quarantine_size_mb=32
  set +e
  ASAN_OPTIONS=$asan "build-fuzz/fuzz/fuzz_$t" "${options[@]}" "$corpus" "fuzz/corpus/$t" >"$log" 2>&1
  rc=$?
  set -e
  local runs crashes
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  [ -n "$runs" ] || runs=$(grep -o '^#[0-9]*' "$log" | tail -1 | tr -d '#')
  crashes=$(find "$artifacts" -type f | wc -l)
  [ $rc -eq 0 ] || [ "$crashes" -gt 0 ] || crashes=1
  echo "fuzz $t: runs ${runs:-0} crashes $crashes"
  if [ "$crashes" -gt 0 ]; then
    grep -m1 -A30 -E '^==[0-9]+==ERROR|runtime error|^==[0-9]+== ERROR' "$log" >&2 || tail -30 "$log" >&2
    return 1
  fi
}

# A run is one process on one core: as many run at once as there are cores, each for its full time.
status=0
running=0
for t in "${targets[@]}"; do
  if [ $running -ge "$(nproc)" ]; then
    wait -n || status=1
    running=$((running - 1))
  fi
  fuzz_one "$t" &
  running=$((running + 1))
done
while [ $running -gt 0 ]; do
  wait -n || status=1
  running=$((running - 1))
done
echo "fuzzing: build $((built - started)) s, runs $((SECONDS - built)) s"
exit $status
