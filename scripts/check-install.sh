#!/usr/bin/env bash
# Installs a built tree into a temporary prefix, moves the installed tree to
# another folder (it must not depend on where it was installed), runs the
# installed zendb and builds and runs the small outside project
# packaging/consumer against it through find_package and through pkg-config.
# Usage: scripts/check-install.sh <build-folder>
set -euo pipefail
cd "$(dirname "$0")/.."
src="$(pwd)"
build="$(cd "${1:?build folder}" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "check-install: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/installed" >/dev/null
mv "$work/installed" "$work/prefix"
prefix="$work/prefix"
# No library search path from the environment: the installed files must find
# their own libraries.
unset LD_LIBRARY_PATH
export ASAN_OPTIONS=detect_leaks=0

# The tool starts from the moved prefix and names its version.
if [ -x "$build/tools/zendb/zendb" ]; then
  [ -x "$prefix/bin/zendb" ] || fail "zendb is not installed"
  version="$("$prefix/bin/zendb" --version)" || fail "the installed zendb does not start"
  case "$version" in
    *[0-9].[0-9]*) ;;
    *) fail "zendb --version printed '$version'" ;;
  esac
fi

# The pkg-config file names no folder of the machine that built it.
pc="$(find "$prefix" -name ZENDatabase.pc -path '*/pkgconfig/*' | head -n 1)"
[ -n "$pc" ] || fail "no ZENDatabase.pc installed"
if grep -q -e "$work" -e '/usr/local' -e "$build" "$pc"; then
  fail "ZENDatabase.pc names an absolute prefix"
fi

# Consumer through CMake.
cmake -S packaging/consumer -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/consumer" >"$work/cmake.out" || fail "the CMake consumer failed"

# Consumer through pkg-config.
export PKG_CONFIG_PATH="$(dirname "$pc")"
libdir="$(pkg-config --variable=libdir ZENDatabase)"
[ -f "$libdir/libZENDatabase.so" ] || fail "pkg-config libdir '$libdir' holds no library"
# shellcheck disable=SC2046
c++ -o "$work/consumer-pc" "$src/packaging/consumer/main.cpp" \
  $(pkg-config --cflags --libs ZENDatabase) -Wl,-rpath,"$libdir"
"$work/consumer-pc" >"$work/pc.out" || fail "the pkg-config consumer failed"
cmp -s "$work/cmake.out" "$work/pc.out" || fail "the two consumers print different results"

echo "check-install: the installed package runs zendb and builds and runs an outside program through CMake and pkg-config from a moved prefix"
