#!/usr/bin/env bash
# Builds the natural terrain of each skyline at 1025 x 1025 with the default settings, times
# it, measures it with terrain-analysis and prints a table of the landscape checks; the
# exports, the analyses and a hillshade of each (seen from above, north up; NAME.png at the
# raster's size and NAME_512.png 512 pixels wide, small enough for a README) go into OUTDIR.
#
# Usage: tools/analysis/realism-check.sh [-b BUILD] [-s SIZE] [-o OPTIONS] OUTDIR [SKYLINE.c2d...]
#   -b BUILD    the build folder holding bin/mondrel-build, bin/terrain-analysis and
#               bin/silhouette-check (build)
#   -s SIZE     the raster's side in cells (1025)
#   -o OPTIONS  more options for mondrel-build, e.g. "--slope 0.8" (the analysis is told the
#               slope when they give one)
#   -c BEFORE   an OUTDIR of an earlier run (say of the baseline's build): its figures are
#               printed under each skyline's, for a before-and-after table
# Without skylines it takes bench/natural/skylines/*.c2d.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$top/build size=1025 options="" before=""
while getopts "b:s:o:c:" flag; do
  case $flag in
    b) build=$(cd "$OPTARG" && pwd) ;;
    s) size=$OPTARG ;;
    o) options=$OPTARG ;;
    c) before=$OPTARG ;;
    *) sed -n '2,15p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[ $# -ge 1 ] || { sed -n '2,15p' "$0" >&2; exit 2; }
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

# One row of the table from the analysis and the timing of one skyline in a folder.
row() {
  local label=$1 txt=$2/$3.txt seconds steep45 spectral creases passes checks
  [ -f "$txt" ] || { printf '%-18s (no analysis in %s)\n' "$label" "$2"; return; }
  read -r seconds _ <"$2/$3.time"
  steep45=$(sed -n 's/^check steep: .*(% of the body steeper than 60 degrees, \([0-9.]*\)% steeper.*/\1/p' "$txt")
  spectral=$(sed -n 's/^check spectrum: .*, slope \([-0-9.]*\) there.*/\1/p' "$txt")
  creases=$(sed -n 's/^creases along the grid: .*, \([0-9.]*\) per mille of the body$/\1/p' "$txt")
  passes=$(grep -c '^check .* PASS$' "$txt" || true)
  checks=$(grep -c '^check ' "$txt" || true)
  printf '%-18s %6s %8s %8s %8s %7s %7s %6s %7s %7s %4s %5s %6s %6s %6s %5s\n' "$label" "$seconds" \
    "$(figure skyline "$txt")" "$(figure silhouette "$txt")" "$(figure outline "$txt")" "$(figure divide "$txt")" \
    "$(figure aspect "$txt")" "$(figure slope "$txt")" "$(figure steep "$txt")" "$steep45" \
    "$(figure strahler "$txt")" "$(figure bifurcation "$txt")" "${spectral:--}" \
    "$(figure spectrum "$txt")" "${creases:--}" "$passes/$checks"
}

printf '%-18s %6s %8s %8s %8s %7s %7s %6s %7s %7s %4s %5s %6s %6s %6s %5s\n' skyline seconds 'sky%' \
  'view%' outline divide aspect 'slope°' '>60%' '>45%' ord bif 'decay' 'shoul' 'crease' pass
for sky in "${skylines[@]}"; do
  name=$(basename "$sky" .c2d)
  asc=$out/$name.asc
  /usr/bin/time -f "%e %M" -o "$out/$name.time" \
    "$build/bin/mondrel-build" --natural --size "$size" ${options:+$options} "$sky" "$asc" >/dev/null
  "$build/bin/terrain-analysis" --curve "$sky" --slope "$slope" "$asc" >"$out/$name.txt"
  # The skyline as the front view sees the surface between the cells, not only at them.
  "$build/bin/silhouette-check" --skyline "$sky" "$asc" >>"$out/$name.txt" || true
  gdaldem hillshade -q -compute_edges "$asc" "$out/$name.hillshade.tif"
  gdal_translate -q -of PNG "$out/$name.hillshade.tif" "$out/$name.png"
  gdal_translate -q -of PNG -r average -outsize 512 0 "$out/$name.png" "$out/${name}_512.png"
  rm -f "$out/$name.hillshade.tif" "$out"/*.png.aux.xml
  row "$name" "$out" "$name"
  [ -z "$before" ] || row "  before" "$before" "$name"
done
echo "(each figure with P or F for its check; limits: sky% <= 0.5, view% (silhouette-check's largest"
echo " deviation seen from the front, % of the view's height) <= 0.5, outline <= 0.6, divide >= 1.10,"
echo " aspect >= 0.8, slope <= atan($slope) + 10 degrees, >60% <= 1, order >= 4, bifurcation 3 to 5,"
echo " shoulder (the body's power at 5-8-cell wavelengths against its coarser scales' power law,"
echo " whose slope is decay) <= 2; crease: creases along the grid's columns and rows, per mille of"
echo " the body (terrain-analysis), no limit;"
echo " analyses, exports and hillshades in $out)"
