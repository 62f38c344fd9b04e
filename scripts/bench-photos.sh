#!/usr/bin/env bash
# Makes the benchmark library of real photographs from the pictures in
# Debian's wallpaper packages: a few thousand tiles of mixed sizes
# (320-1600 px), orientations and formats, plus source pictures kept out of
# the tiles. Reproducible (fixed seed); done once, kept until removed.
#
#   scripts/bench-photos.sh [BUILD_DIR]
#
# Output goes to $VT_BENCH_PHOTOS, default build/bench-photos; BUILD_DIR
# (default build/release) is a Release build configured with the benchmarks.
# VT_BENCH_TILES (default 5000) sets the number of tiles.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
out=${VT_BENCH_PHOTOS:-build/bench-photos}
tiles=${VT_BENCH_TILES:-5000}
sources=6

if [ -f "$out/manifest.txt" ]; then
  echo "Benchmark photographs: $out (present)"
  exit 0
fi

packages=(ukui-wallpapers lomiri-wallpapers-16.04 lomiri-wallpapers-20.04 gnome-backgrounds mate-backgrounds)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

mapfile -t pictures < <(for p in "${packages[@]}"; do dpkg -L "$p"; done |
  grep -iE '\.(jpe?g|png)$' | while read -r f; do [ -f "$f" ] && readlink -f "$f"; done | sort -u)
if [ ${#pictures[@]} -le $sources ]; then
  echo "bench-photos: too few pictures found in the wallpaper packages" >&2
  exit 1
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVT_BUILD_TESTS=OFF -DVT_BUILD_BENCH=ON
fi
cmake --build "$build" --target make_bench_photos

# Written beside the target and moved into place when complete.
tmp="$out.partial"
rm -rf "$tmp"
threads=$(( $(nproc) < 4 ? $(nproc) : 4 ))
"$build/bench/make_bench_photos" "$tmp" "$tiles" "$sources" "$threads" "${pictures[@]}"
rm -rf "$out"
mv "$tmp" "$out"
echo "Benchmark photographs: $out"
