#!/usr/bin/env bash
# Installs the dependencies, builds the project (release) and runs the zendb
# tool's main job.
# Usage: scripts/run-demo.sh [zendb arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs="$(nproc 2>/dev/null || echo 2)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEN_BUILD_TESTS=OFF -DZEN_BUILD_BENCHMARKS=OFF
cmake --build build -j "$jobs" --target zendb
if [ $# -eq 0 ]; then
  set -- --version
fi
exec build/tools/zendb/zendb "$@"
