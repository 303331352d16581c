#!/usr/bin/env bash
# Installs the dependencies, builds the library, tools, tests and benchmarks
# with AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test.
# Usage: scripts/run-tests.sh [build-folder]   (default: build-asan)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build="${1:-build-asan}"
jobs="$(nproc 2>/dev/null || echo 2)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZEN_SANITIZE=ON -DZEN_WERROR=ON
cmake --build "$build" -j "$jobs"
ctest --test-dir "$build" --output-on-failure -j "$jobs"
