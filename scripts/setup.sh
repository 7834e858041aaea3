#!/usr/bin/env bash
# Installs what Mondrel needs on Debian 12 when it is missing, then configures and builds.
# Usage: scripts/setup.sh [build-dir] [extra cmake options...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
shift || true

packages=(g++ make cmake pkg-config qt6-base-dev libqt6opengl6-dev libglu1-mesa-dev libpng-dev
          libgtest-dev libgmock-dev libcli11-dev libbenchmark-dev xvfb xauth clang-format
          libopenexr-dev nlohmann-json3-dev libproj-dev libexif-dev
          gdal-bin openexr assimp-utils) # the programs the export tests open their files with
"$top/scripts/install-packages.sh" "${packages[@]}"

cmake -S "$top" -B "$build" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
