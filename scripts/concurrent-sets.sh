#!/usr/bin/env bash
# Runs PAIRS pairs of mondrel-build writing the same export set (heightmap, normal map,
# metadata) at the same time with different sizes, and checks that every folder holds one
# whole set afterwards: the heightmap, the normal map and the metadata of the same run, and no
# temporary file. Not part of the tests (it takes a while); run it after changing how sets are
# written.
# Usage: scripts/concurrent-sets.sh BUILDER [PAIRS]   (default 100 pairs)
set -uo pipefail
builder=$(realpath "$1")
pairs=${2:-100}
top=$(cd "$(dirname "$0")/.." && pwd)
curve=$top/tests/data/single_peak.c2d
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Width and height of a PNG, from its IHDR chunk.
pngsize() { od -An -tu1 -j16 -N8 "$1" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}'; }

mixed=0 failed=0
for i in $(seq 1 "$pairs"); do
  dir=$work/$i
  mkdir "$dir"
  "$builder" -q --size 300x200 --normal-map "$dir/n.png" "$curve" "$dir/h.png" 2>/dev/null &
  a=$!
  "$builder" -q --size 200x300 --normal-map "$dir/n.png" "$curve" "$dir/h.png" 2>/dev/null &
  b=$!
  wait $a || failed=$((failed + 1))
  wait $b || failed=$((failed + 1))
  height=$(pngsize "$dir/h.png")
  normal=$(pngsize "$dir/n.png")
  meta=$(sed -n 's/^  "width": \([0-9]*\),/\1/p; s/^  "height": \([0-9]*\),/\1/p' "$dir/h.png.json" | paste -sd x)
  aux=$(grep -c "GeoTransform" "$dir/h.png.aux.xml")
  leftovers=$(find "$dir" -name '.mondrel-*' | wc -l)
  if [ "$height" != "$normal" ] || [ "$height" != "$meta" ] || [ "$aux" != 1 ] ||
     [ "$leftovers" != 0 ]; then
    mixed=$((mixed + 1))
    echo "pair $i: heightmap $height, normal map $normal, metadata $meta, temporary files $leftovers"
  fi
done
echo "$pairs pairs: $mixed mixed sets, $failed failed builds"
[ "$mixed" = 0 ] && [ "$failed" = 0 ]
