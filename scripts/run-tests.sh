#!/usr/bin/env bash
# Installs the dependencies, builds the library, tools, tests and benchmarks
# with AddressSanitizer and UndefinedBehaviorSanitizer, and runs every test on
# both engines: SQLite files, and a throw-away PostgreSQL server that
# pg_virtualenv starts for the run (it exports PGHOST, PGPORT, PGUSER and
# PGPASSWORD; ZEN_TEST_PG=1 tells the tests that a server is there) and
# removes afterwards (-t: in a temporary folder also when run as root, so
# that runs side by side do not share the one system-wide test cluster).
# Without pg_virtualenv the server's tests are skipped, each saying so.
# Usage: scripts/run-tests.sh [build-folder]   (default: build-asan)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build="${1:-build-asan}"
jobs="$(nproc 2>/dev/null || echo 2)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZEN_SANITIZE=ON -DZEN_WERROR=ON
cmake --build "$build" -j "$jobs"
if command -v pg_virtualenv >/dev/null 2>&1; then
  ZEN_TEST_PG=1 pg_virtualenv -t -- ctest --test-dir "$build" --output-on-failure -j "$jobs"
else
  echo "run-tests: pg_virtualenv not found: the PostgreSQL tests are skipped" >&2
  ctest --test-dir "$build" --output-on-failure -j "$jobs"
fi
