#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and builds and runs the small
# outside project packaging/consumer against it through find_package.
# Usage: scripts/check-install.sh <build-folder>
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(cd "${1:?build folder}" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S packaging/consumer -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
LD_LIBRARY_PATH="$work/prefix/lib:$work/prefix/lib/$(gcc -print-multiarch 2>/dev/null || true)" \
  ASAN_OPTIONS=detect_leaks=0 "$work/consumer/consumer"
test -f "$work/prefix/lib/pkgconfig/ZENDatabase.pc" || test -f "$work/prefix/lib/$(gcc -print-multiarch)/pkgconfig/ZENDatabase.pc"
echo "check-install: the installed package builds and runs an outside program"
