#!/usr/bin/env bash
# Sets up, builds and runs every test (CTest), headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
ctest --test-dir build --output-on-failure -j"$(nproc)"
