#!/usr/bin/env bash
# Remakes the expected grids golden/<name>.grd of golden/cases.txt with a built mondrel-build.
# Run it only after a change that is meant to change the terrains, and look at the diff.
# Usage: tests/data/make_golden.sh [path/to/mondrel-build]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$(realpath "${1:-$here/../../build/bin/mondrel-build}")
cd "$here"
grep -v '^#' golden/cases.txt | while read -r name args; do
  [ -n "$name" ] || continue
  # shellcheck disable=SC2086  # the arguments are meant to split
  "$bin" --quiet $args "golden/$name.grd"
  echo "golden/$name.grd"
done
