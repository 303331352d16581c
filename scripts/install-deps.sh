#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing and running the
# project needs. Idempotent: when everything is present it changes nothing.
# Runs apt-get as root, through sudo when started by another user.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libsqlite3-dev libpq-dev postgresql postgresql-common libsodium-dev
  mdbtools-dev libmdb3
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev tzdata
  qt6-base-dev xvfb xauth libcairo2-dev fonts-dejavu-core libzint-dev zbar-tools
  dpkg-dev file gettext qt6-translations-l10n
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
