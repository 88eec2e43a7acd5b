#!/usr/bin/env bash
# Sets up (the programs' and the tests' packages: scripts/setup.sh), builds
# and runs every test (CTest), headless.
#   scripts/test.sh         the plain suite
#   scripts/test.sh --all   then the whole suite again built with
#                           AddressSanitizer and UndefinedBehaviorSanitizer
#                           (scripts/test-sanitize.sh, in build-asan/)
set -euo pipefail
cd "$(dirname "$0")/.."
all=0
case "${1:-}" in
    --all) all=1 ;;
    "") ;;
    *) echo "usage: scripts/test.sh [--all]" >&2; exit 2 ;;
esac
scripts/setup.sh
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
ctest --test-dir build --output-on-failure -j"$(nproc)"
if ((all)); then
    scripts/test-sanitize.sh
fi
