#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/ and runs every test (CTest), headless. Any sanitizer report
# fails the test that triggered it.
#   BUILD_DIR=... to build elsewhere; JOBS=n to limit the parallel build
#   jobs; TEST_JOBS=n to run tests in parallel (default 1).
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build-asan}"
jobs="${JOBS:-$(nproc)}"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQVX_SANITIZE=ON >/dev/null
cmake --build "$build" -j"$jobs"

export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
# Leaks found only in the toolkit and its font and graphics libraries are
# theirs; the suppressions name those libraries and nothing of ours.
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan-suppressions.txt:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=0:detect_stack_use_after_return=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
# One test at a time: the instrumented end-to-end tests keep real-time
# margins that two slowed-down programs on two cores would eat into.
ctest --test-dir "$build" --output-on-failure -j"${TEST_JOBS:-1}"
