#!/usr/bin/env bash
# Sets up, builds and runs every test (CTest), headless; then builds the
# whole suite again with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/) and runs it there too. QVX_SKIP_SANITIZE=1 skips the second
# pass (a quick local check).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
ctest --test-dir build --output-on-failure -j"$(nproc)"
if [[ "${QVX_SKIP_SANITIZE:-}" != 1 ]]; then
    scripts/test-sanitize.sh
fi
