#!/usr/bin/env bash
# Builds the program and its tests with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/
# (g++, the first report ends the process) and runs the whole test suite there.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Warnings stay warnings here: g++'s flow warnings (-Warray-bounds) misfire on instrumented code, and
# the normal build already holds every warning as an error. -O1 is the level the sanitizers are made for,
# and line tables are all a report needs: the build takes half the time it takes at -O2 -g.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
  -DKR5M_SANITIZE=ON -DKR5M_WERROR=OFF "${launcher[@]}" >/dev/null
cmake --build build-asan -j"$(nproc)"
built=$SECONDS

# Leak detection is off: Qt and fontconfig keep caches and singletons to the end of the process,
# and a suppression by library would also hide every leak of ours, since each test's slots run
# from Qt's own code. The fuzz runs (scripts/fuzz.sh) keep it on, outside Qt's event loop.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0:halt_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Bus tests (cmake/run-on-bus.sh) send the reports of every process, bus-activated ones included,
# to report files, and fail when one appears.
export KR5M_SANITIZER_REPORTS=1
# Each test waits three times as long here as in the normal build (cmake/Testing.cmake).
# Four at a time on two cores: the suite spends half its time waiting (buses, processes, locks).
ctest --test-dir build-asan --output-on-failure -j4
echo "sanitizers: build $((built - started)) s, suite $((SECONDS - built)) s"
