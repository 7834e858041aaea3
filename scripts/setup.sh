#!/usr/bin/env bash
# Installs what Mondrel needs on Debian 12 when it is missing, then configures and builds.
# Usage: scripts/setup.sh [build-dir] [extra cmake options...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
shift || true

packages=(g++ make cmake pkg-config qt6-base-dev libqt6opengl6-dev libglu1-mesa-dev libpng-dev
          libgtest-dev libgmock-dev libcli11-dev libbenchmark-dev xvfb xauth clang-format
          libopenexr-dev nlohmann-json3-dev
          gdal-bin openexr assimp-utils) # the programs the export tests open their files with
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S "$top" -B "$build" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
