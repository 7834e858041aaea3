#!/usr/bin/env bash
# Builds the Debian package of Mondrel in build-package/ (a Release build for /usr, without
# tests and benchmarks) and checks it: the desktop entry, the AppStream metadata and lintian.
# Installs the packaging tools when they are missing. Exits non-zero on any error, lintian's
# included; lintian's warnings are shown but pass.
#   scripts/package.sh [build-dir]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-package}

packages=(dpkg-dev file lintian desktop-file-utils appstream)
"$top/scripts/install-packages.sh" "${packages[@]}"

# Debian's hardening flags, so that lintian finds the programs built as Debian builds them.
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cxxflags=$(dpkg-buildflags --get CXXFLAGS)
ldflags="$(dpkg-buildflags --get LDFLAGS) -Wl,-z,now"
"$top/scripts/setup.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DMONDREL_TESTS=OFF -DMONDREL_BENCH=OFF -DMONDREL_SOURCE_TREE_DATA=OFF \
  -DCMAKE_CXX_FLAGS="$cppflags $cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags"

rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/*.deb)

# Check the files as the package holds them.
unpacked="$build/unpacked"
rm -rf "$unpacked"
dpkg-deb -x "$deb" "$unpacked"
echo "== desktop-file-validate"
desktop-file-validate "$unpacked"/usr/share/applications/*.desktop
echo "== appstreamcli validate"
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.metainfo.xml
echo "== lintian"
lintian_args=(--fail-on error)
[ "$(id -u)" -eq 0 ] && lintian_args+=(--allow-root)
lintian "${lintian_args[@]}" "$deb"
echo "== packaged $deb"
