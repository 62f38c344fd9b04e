#!/usr/bin/env bash
# Installs the Debian packages Vitrane needs to build, test and run
# (`deps.sh fuzz`: and to build the fuzz targets).
# Idempotent: asks apt only when something is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  qt6-base-dev libgl-dev libxcb1-dev
  libjpeg62-turbo-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libtiff-tools
  libsane-dev libsane1
)
# `make fuzz` alone needs clang and its runtime libraries (libFuzzer and the
# sanitizers, only recommended by clang, so not pulled in below); the normal
# build does not.
if [ "${1:-}" = "fuzz" ]; then packages+=(clang libclang-rt-dev); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
