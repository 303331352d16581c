#!/usr/bin/env bash
# Installs the dependencies, builds the project (release) and runs the zendb
# tool's main job: the demo, which creates a database with realistic data in a
# new folder zen-demo in the current folder, evaluates it and writes a report.
# Usage: scripts/run-demo.sh [zendb arguments...]   (default: demo)
set -euo pipefail
caller="$PWD"
cd "$(dirname "$0")/.."
root="$PWD"
scripts/install-deps.sh
jobs="$(nproc 2>/dev/null || echo 2)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEN_BUILD_TESTS=OFF -DZEN_BUILD_BENCHMARKS=OFF
cmake --build build -j "$jobs" --target zendb
if [ $# -eq 0 ]; then
  set -- demo
fi
cd "$caller"
exec "$root/build/tools/zendb/zendb" "$@"
