#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/ and runs every test (CTest), headless. Any sanitizer report
# fails the test that triggered it.
#   BUILD_DIR=... to build elsewhere; JOBS=n to limit the parallel build
#   jobs; TEST_JOBS=n to run the in-process tests in parallel (default 2;
#   the end-to-end tests run one at a time). The layers' whole-library link
#   check is left to the plain build, which makes the same links.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build-asan}"
jobs="${JOBS:-$(nproc)}"

# -O1 and line tables only (-g1): the sanitizers' own advice, reports keep
# their file and line, and the instrumented build compiles in about half
# the time of -O2 -g.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
      -DQVX_SANITIZE=ON -DQVX_LINK_CHECK=OFF >/dev/null
cmake --build "$build" -j"$jobs"

export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
# Leaks found only in the toolkit and its font and graphics libraries are
# theirs; the suppressions name those libraries and nothing of ours.
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan-suppressions.txt:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=0:detect_stack_use_after_return=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
# The tests that run in one process, two at a time (each has a core); then
# the end-to-end tests and the platform's (real ports, clocks and paint)
# one at a time: they run programs against each other with real-time
# margins that two slowed-down pairs on two cores would eat into.
status=0
ctest --test-dir "$build" --output-on-failure -LE e2e -E '^platform_' -j"${TEST_JOBS:-2}" || status=1
ctest --test-dir "$build" --output-on-failure -L e2e -j1 || status=1
ctest --test-dir "$build" --output-on-failure -R '^platform_' -j1 || status=1
exit $status
