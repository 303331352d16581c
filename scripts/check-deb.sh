#!/usr/bin/env bash
# Builds the Debian package from a built tree (cpack reuses the tree's install
# rules, nothing is compiled), checks its fields, dependencies and files, then
# without root extracts it into a temporary folder and runs the extracted
# zendb (--version and the demo), which must find its library by its run path.
# Usage: scripts/check-deb.sh <build-folder>    (exit 77: no dpkg-deb here)
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(cd "${1:?build folder}" && pwd)"
fail() { echo "check-deb: $*" >&2; exit 1; }
command -v dpkg-deb >/dev/null || { echo "check-deb: dpkg-deb not found, skipped"; exit 77; }
[ -f "$build/CPackConfig.cmake" ] || fail "$build has no CPackConfig.cmake"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# zstd packs the large debug builds of the tests quickly; dpkg reads it since
# Debian 12. The package itself is built with the project's settings.
if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg" \
     -D CPACK_DEBIAN_COMPRESSION_TYPE=zstd >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack failed"
fi
debs=("$work"/pkg/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one package, found: ${debs[*]}"
deb="${debs[0]}"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zendatabase ] || fail "Package is '$(field Package)'"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
has_zendb=0; [ -x "$build/tools/zendb/zendb" ] && has_zendb=1
has_qt=0; compgen -G "$build/src/qt/libZENDatabaseQt.so*" >/dev/null && has_qt=1

depends="$(field Depends)"
needed=(libc6 libstdc++6 libsqlite3-0 libsodium23)
[ $has_zendb -eq 1 ] && needed+=(libcairo2 libzint2.11)
[ $has_qt -eq 1 ] && needed+=(libqt6widgets6 libqt6core6)
# The package names of the list, without their version conditions.
tr ',' '\n' <<<"$depends" | sed -e 's/^ *//' -e 's/[ (].*//' >"$work/depends"
for package in "${needed[@]}"; do
  grep -qxF "$package" "$work/depends" || fail "Depends lacks $package: $depends"
done
case "$(field Recommends)" in *qt6-qpa-plugins*) ;; *) fail "Recommends lacks qt6-qpa-plugins" ;; esac

dpkg-deb -c "$deb" | awk '{print $6}' >"$work/files"
outside="$(grep -v -e '^\./$' -e '^\./usr/' "$work/files" || true)"
[ -z "$outside" ] || fail "files outside /usr: $outside"
lib="$(grep -E '^\./usr/lib(/[^/]+)?/libZENDatabase\.so\.[0-9]+\.[0-9]+\.[0-9]+$' "$work/files" | head -n 1)"
[ -n "$lib" ] || fail "no libZENDatabase.so.X.Y.Z under /usr/lib"
libdir="$(dirname "$lib")"
expected=("$libdir/libZENDatabase.so" "$libdir/pkgconfig/ZENDatabase.pc"
          "$libdir/cmake/ZENDatabase/ZENDatabaseConfig.cmake" ./usr/include/ZENDatabase/ZENDatabase.h)
[ $has_zendb -eq 1 ] && expected+=(./usr/bin/zendb)
[ $has_qt -eq 1 ] && expected+=("$libdir/libZENDatabaseQt.so" ./usr/include/ZENDatabase/qt/QtUIHost.h)
for file in "${expected[@]}"; do
  grep -qxF "$file" "$work/files" || fail "the package lacks $file"
done

# Extracted, the programs find their library inside the extracted tree, by
# nothing but their run path.
dpkg-deb -x "$deb" "$work/root"
unset LD_LIBRARY_PATH
export ASAN_OPTIONS=detect_leaks=0
if [ $has_zendb -eq 1 ]; then
  zendb="$work/root/usr/bin/zendb"
  version="$("$zendb" --version)" || fail "the extracted zendb does not start"
  [ "$version" = "zendb $(field Version)" ] || fail "zendb --version printed '$version', the package is $(field Version)"
  loaded="$(ldd "$zendb" | awk '$1 ~ /^libZENDatabase\.so/ {print $3}')"
  [ -n "$loaded" ] && [ "$(realpath "$(dirname "$loaded")")" = "$(realpath "$work/root${libdir#.}")" ] ||
    fail "zendb does not load the extracted library but '$loaded'"

  # The demo in a private home, configuration and state.
  home="$work/home"
  mkdir -p "$home"
  if ! (cd "$home" && env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
        XDG_STATE_HOME="$home/state" XDG_CONFIG_DIRS="$home/etc-xdg" ZEN_CONFIG= \
        "$zendb" --format json demo "$home/zen-demo" >"$work/demo.json" 2>"$work/demo.err"); then
    cat "$work/demo.err" >&2
    fail "zendb demo failed"
  fi
  grep -q '"Report"' "$work/demo.json" || fail "zendb demo printed: $(head -c 300 "$work/demo.json")"
  compgen -G "$home/zen-demo/report-*.pdf" >/dev/null || fail "zendb demo wrote no report"
fi

echo "check-deb: $(basename "$deb") holds the library under ${libdir#.}, its files and dependencies, and its extracted zendb runs the demo"
