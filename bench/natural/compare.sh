#!/usr/bin/env bash
# The natural terrain's builder beside a baseline's in one run: for each size, runs
# `mondrel-build --natural --size N SKYLINE OUT.r16` of the baseline revision and of this tree
# in turn, and prints per run the wall time, the CPU use ((user + sys) / wall: 2.0 when both
# cores work all the time) and the peak resident size per cell (/usr/bin/time), then the
# median wall time of each side; the bytes per cell also net of the program's own resident size
# (its peak at 33 x 33 cells). The whole program is timed (reading the curve, the stages,
# writing the file), so the figures bound the construction's own from above.
#
# Usage: bench/natural/compare.sh [-r REVISION | -B BUILD] [-b BUILD] [-n RUNS] [-s "SIZES"] [SKYLINE.c2d]
#   -r REVISION  the baseline (default: the merge-base of HEAD and main); it is checked out as
#                a detached git worktree and built (mondrel-build only, no GUI) under
#                ${TMPDIR:-/tmp}/mondrel-baseline-<commit>, kept there for later runs
#   -B BUILD     a build folder that already holds the baseline's bin/mondrel-build (nothing
#                is checked out or built then)
#   -b BUILD     this tree's build folder (default: build); mondrel-build is brought up to date
#   -n RUNS      runs per size and side (default 3; sizes of 4097 or more run once)
#   -s SIZES     raster sides (default "257 1025 4097"; 257 is the window's preview)
# The skyline defaults to bench/natural/skylines/long_ridge.c2d.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
revision="" baseBuild="" build=$top/build runs=3 sizes="257 1025 4097"
while getopts "r:B:b:n:s:" flag; do
  case $flag in
    r) revision=$OPTARG ;;
    B) baseBuild=$OPTARG ;;
    b) build=$OPTARG ;;
    n) runs=$OPTARG ;;
    s) sizes=$OPTARG ;;
    *) sed -n '2,19p' "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
skyline=${1:-$top/bench/natural/skylines/long_ridge.c2d}
cd "$top"
[ -n "$revision" ] || revision=$(git merge-base HEAD main)
commit=$(git rev-parse --verify "$revision^{commit}")

# The baseline: a worktree of the commit and a build of its mondrel-build, reused when there.
base=${TMPDIR:-/tmp}/mondrel-baseline-${commit:0:12}
if [ -n "$baseBuild" ]; then
  baseProgram=$baseBuild/bin/mondrel-build
  [ -x "$baseProgram" ] || { echo "no $baseProgram" >&2; exit 1; }
  commit="given build"
else
  baseProgram=$base/build/bin/mondrel-build
fi
if [ ! -x "$baseProgram" ]; then
  echo "building the baseline ${commit:0:12} in $base ..." >&2
  [ -d "$base/src" ] || git worktree add --detach -q "$base/src" "$commit"
  cmake -S "$base/src" -B "$base/build" -DMONDREL_GUI=OFF -DMONDREL_TESTS=OFF \
    -DMONDREL_BENCH=OFF >/dev/null
  cmake --build "$base/build" -j2 --target mondrel-build >/dev/null
  git worktree remove --force "$base/src"
fi
echo "bringing this tree's mondrel-build up to date ..." >&2
cmake --build "$build" -j2 --target mondrel-build >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "skyline $(basename "$skyline"); baseline ${commit:0:12}; this tree $(git rev-parse --short HEAD)$(git diff --quiet HEAD || echo ' (with changes)')"
echo "load before the run: $(cut -d' ' -f1-3 /proc/loadavg)"
# The program's own resident size (code, libraries, the stages' grid) from a tiny raster, so
# that the bytes per cell can also be given net of it.
declare -A own
for which in baseline current; do
  if [ $which = baseline ]; then program=$baseProgram; else program=$build/bin/mondrel-build; fi
  /usr/bin/time -f "%M" -o "$work/time" "$program" --natural --size 33 "$skyline" "$work/out.r16" >/dev/null
  own[$which]=$(cat "$work/time")
done
echo "the program's own peak resident size (at 33 x 33): baseline ${own[baseline]} KiB, current ${own[current]} KiB"
printf '%-6s %-9s %4s %8s %6s %10s %10s\n' side builder run 'wall s' 'cpu' 'bytes/cell' 'net'
summary=()
for side in $sizes; do
  count=$runs
  [ "$side" -lt 4097 ] || count=1
  declare -A walls=([baseline]="" [current]="")
  for ((run = 1; run <= count; ++run)); do
    for which in baseline current; do
      if [ $which = baseline ]; then program=$baseProgram; else program=$build/bin/mondrel-build; fi
      /usr/bin/time -f "%e %U %S %M" -o "$work/time" \
        "$program" --natural --size "$side" "$skyline" "$work/out.r16" >/dev/null
      read -r wall user sys rss <"$work/time"
      awk -v side="$side" -v which="$which" -v run="$run" -v wall="$wall" -v user="$user" \
        -v sys="$sys" -v rss="$rss" -v own="${own[$which]}" 'BEGIN {
          printf "%-6s %-9s %4d %8.2f %6.2f %10.1f %10.1f\n", side, which, run, wall,
            (wall > 0 ? (user + sys) / wall : 0), rss * 1024 / (side * side),
            (rss - own) * 1024 / (side * side) }'
      walls[$which]+="$wall "
    done
  done
  for which in baseline current; do
    median=$(tr ' ' '\n' <<<"${walls[$which]}" | grep . | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
    summary+=("$(printf '%-6s %-9s median wall %6.2f s over %d' "$side" "$which" "$median" "$count")")
  done
done
printf '%s\n' "${summary[@]}"
echo "load after the run: $(cut -d' ' -f1-3 /proc/loadavg)"
