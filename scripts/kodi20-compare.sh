#!/usr/bin/env bash
# Our add-on side by side with IPTV Simple in Kodi 20, on the same catalogue.
#
# The sample provider serves N generated stations (default 1000) with their guide: to our
# add-on as the NivoTV service, to IPTV Simple as an M3U playlist and an XMLTV guide of the
# same days (one day back, three ahead). Kodi runs once with each add-on from a fresh home and
# the driver measures the time from Kodi's start to all channels listed, the time until the
# last channel's guide is in Kodi, and Kodi's peak resident memory. The figures go to
# OUT_DIR/summary.md, ready for docs/performance.md.
#
# Usage: bash scripts/kodi20-compare.sh [STATIONS [RUNS]]   (defaults 1000 and 3)
# Environment: BUILD_DIR (default build-kodi20), OUT_DIR (default out/kodi20/compare).
set -euo pipefail
cd "$(dirname "$0")/.."

STATIONS=${1:-1000}
RUNS=${2:-3}
BUILD_DIR=${BUILD_DIR:-build-kodi20}
OUT_DIR=${OUT_DIR:-out/kodi20/compare}

fail() {
  echo "kodi20-compare: FAILED: $*" >&2
  exit 1
}

bash scripts/install-deps.sh
bash scripts/install-kodi.sh
mkdir -p "$BUILD_DIR"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZU_BUILD_TESTS=OFF \
  -DZU_BUILD_BENCH=OFF >"$BUILD_DIR/configure.log" 2>&1 ||
  { cat "$BUILD_DIR/configure.log"; fail "configuring the build"; }
cmake --build "$BUILD_DIR" -j2 --target kodi20-check nivotv_kodi20_zip ||
  fail "building the Kodi 20 add-on or the test driver"
zip=$(ls "$BUILD_DIR"/pvr.nivotv-*-kodi20.zip 2>/dev/null | head -n 1)
[ -n "$zip" ] || fail "no add-on zip in $BUILD_DIR"

rm -rf "$OUT_DIR"
mkdir -p "$OUT_DIR"
unzip -q "$zip" -d "$OUT_DIR/zip"

run() {
  local name=$1
  shift
  echo "kodi20-compare: $name with $STATIONS stations"
  timeout --kill-after=30 900 "$BUILD_DIR/kodi20/check/kodi20-check" \
    --stations "$STATIONS" --channel-bound 400 --guide-bound 800 --out "$OUT_DIR/$name" "$@" ||
    fail "$name: see the lines above and $OUT_DIR/$name"
}
# The two add-ons take turns, so a slow phase of the machine hits both alike.
for i in $(seq 1 "$RUNS"); do
  run "iptvsimple-$i" --addon pvr.iptvsimple
  run "nivotv-$i" --addon pvr.nivotv --addon-dir "$OUT_DIR/zip/pvr.nivotv"
done

# One value of a run's result.json (written one member per line).
value() {
  sed -n "s/^ *\"$2\": *\([0-9.-]*\),\{0,1\}$/\1/p" "$OUT_DIR/$1/result.json"
}
# The median of a measure over the runs of an add-on, and all of them.
median() {
  local values
  values=$(for i in $(seq 1 "$RUNS"); do value "$1-$i" "$2"; done | sort -g)
  echo "$values" | sed -n "$(((RUNS + 1) / 2))p"
}
all() {
  for i in $(seq 1 "$RUNS"); do value "$1-$i" "$2"; done | awk -v scale="$3" \
    '{printf "%s%.1f", (NR > 1 ? ", " : ""), $1 / scale}'
}
row() {
  printf '| %s | %.1f s (%s) | %.1f s (%s) | %d MiB (%s) |\n' "$2" \
    "$(median "$1" seconds_to_channels)" "$(all "$1" seconds_to_channels 1)" \
    "$(median "$1" seconds_to_last_guide)" "$(all "$1" seconds_to_last_guide 1)" \
    "$(($(median "$1" peak_resident_kib) / 1024))" "$(all "$1" peak_resident_kib 1024)"
}
{
  echo "Kodi $(dpkg-query -W -f='${Version}' kodi 2>/dev/null) under Xvfb (Mesa llvmpipe)," \
    "$STATIONS TV stations, guide from one day back to three days ahead, $RUNS runs each"
  echo "(median, then every run); $(nproc) cores," \
    "$(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo)," \
    "$(sed -n 's/^model name[^:]*: //p' /proc/cpuinfo | head -n 1); $(date -u '+%Y-%m-%d')."
  echo
  echo "| Add-on | Start to all channels listed | Start to last channel's guide | Kodi's peak RSS |"
  echo "|---|---|---|---|"
  row nivotv "pvr.nivotv $(sed -n 's/^ *version="\([^"]*\)".*/\1/p' "$OUT_DIR/zip/pvr.nivotv/addon.xml" |
    head -n 1) (ours)"
  row iptvsimple "pvr.iptvsimple $(dpkg-query -W -f='${Version}' kodi-pvr-iptvsimple 2>/dev/null)"
} >"$OUT_DIR/summary.md"
cat "$OUT_DIR/summary.md"
