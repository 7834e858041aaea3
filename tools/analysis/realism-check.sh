#!/usr/bin/env bash
# Builds the natural terrain of each skyline at 1025 x 1025 with the default settings, times
# it, measures it with terrain-analysis and prints a table of the landscape checks; the
# exports, the analyses and a hillshade of each (seen from above, north up; NAME.png at the
# raster's size and NAME_512.png 512 pixels wide, small enough for a README) go into OUTDIR.
#
# Usage: tools/analysis/realism-check.sh [-b BUILD] [-s SIZE] [-o OPTIONS] OUTDIR [SKYLINE.c2d...]
#   -b BUILD    the build folder holding bin/mondrel-build and bin/terrain-analysis (build)
#   -s SIZE     the raster's side in cells (1025)
#   -o OPTIONS  more options for mondrel-build, e.g. "--slope 0.8" (the analysis is told the
#               slope when they give one)
# Without skylines it takes bench/natural/skylines/*.c2d.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$top/build size=1025 options=""
while getopts "b:s:o:" flag; do
  case $flag in
    b) build=$(cd "$OPTARG" && pwd) ;;
    s) size=$OPTARG ;;
    o) options=$OPTARG ;;
    *) sed -n '2,13p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -ge 1 ] || { sed -n '2,13p' "$0" >&2; exit 2; }
out=$1
shift
skylines=("$@")
[ ${#skylines[@]} -gt 0 ] || skylines=("$top"/bench/natural/skylines/*.c2d)
mkdir -p "$out"
slope=0.5
read -r -a extra <<<"$options"
for ((i = 0; i < ${#extra[@]}; ++i)); do
  [ "${extra[$i]}" = "--slope" ] && slope=${extra[$((i + 1))]}
done

# The figure of one check line ("check NAME: VALUE (...) PASS") and its verdict's first letter.
figure() { awk -v name="$1" '$1 == "check" && $2 == name ":" { printf "%s %s", $3, substr($NF, 1, 1) }' "$2"; }

printf '%-18s %6s %8s %8s %7s %7s %6s %7s %7s %4s %5s %5s\n' skyline seconds 'sky%' outline \
  divide aspect 'slope°' '>60%' '>45%' ord bif pass
for sky in "${skylines[@]}"; do
  name=$(basename "$sky" .c2d)
  asc=$out/$name.asc
  /usr/bin/time -f "%e %M" -o "$out/$name.time" \
    "$build/bin/mondrel-build" --natural --size "$size" ${options:+$options} "$sky" "$asc" >/dev/null
  "$build/bin/terrain-analysis" --curve "$sky" --slope "$slope" "$asc" >"$out/$name.txt"
  gdaldem hillshade -q -compute_edges "$asc" "$out/$name.hillshade.tif"
  gdal_translate -q -of PNG "$out/$name.hillshade.tif" "$out/$name.png"
  gdal_translate -q -of PNG -r average -outsize 512 0 "$out/$name.png" "$out/${name}_512.png"
  rm -f "$out/$name.hillshade.tif" "$out"/*.png.aux.xml
  read -r seconds _ <"$out/$name.time"
  steep45=$(sed -n 's/^check steep: .*(% of the body steeper than 60 degrees, \([0-9.]*\)% steeper.*/\1/p' "$out/$name.txt")
  passes=$(grep -c '^check .* PASS$' "$out/$name.txt" || true)
  checks=$(grep -c '^check ' "$out/$name.txt" || true)
  printf '%-18s %6s %8s %8s %7s %7s %6s %7s %7s %4s %5s %5s\n' "$name" "$seconds" \
    "$(figure skyline "$out/$name.txt")" "$(figure outline "$out/$name.txt")" \
    "$(figure divide "$out/$name.txt")" "$(figure aspect "$out/$name.txt")" \
    "$(figure slope "$out/$name.txt")" "$(figure steep "$out/$name.txt")" "$steep45" \
    "$(figure strahler "$out/$name.txt")" "$(figure bifurcation "$out/$name.txt")" \
    "$passes/$checks"
done
echo "(each figure with P or F for its check; limits: sky% <= 0.5, outline <= 0.6, divide >= 1.10,"
echo " aspect >= 0.8, slope <= atan($slope) + 10 degrees, >60% <= 1, order >= 4, bifurcation 3 to 5;"
echo " analyses, exports and hillshades in $out)"
