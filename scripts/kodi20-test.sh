#!/usr/bin/env bash
# The real-host test: our add-on in Kodi 20 under a virtual display, checked through JSON-RPC.
#
# Installs Kodi 20, its add-on headers, IPTV Simple and Xvfb from Debian (what is missing),
# builds the Kodi 20 add-on zip and the test driver, installs the add-on from the zip into a
# fresh Kodi home, starts the sample provider and Kodi, and checks every channel with its
# number and name, the groups and their members, the guide of several channels, a screenshot
# of the TV guide, playback (two channels one after the other show a moving test picture, the
# player stops, and a channel whose stream the provider refuses fails with its URL in Kodi's
# log), a clean quit, and a restart with the provider stopped that is served from the
# add-on's caches. Every wait is bounded; the whole run takes a few minutes. Exit status 0
# when everything passed.
#
# Environment: BUILD_DIR (default build-kodi20), OUT_DIR (default out/kodi20/test).
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build-kodi20}
OUT_DIR=${OUT_DIR:-out/kodi20/test}

fail() {
  echo "kodi20-test: FAILED: $*" >&2
  exit 1
}

bash scripts/install-deps.sh
bash scripts/install-kodi.sh

# A build directory of its own is configured without tests and benchmarks; an existing one
# (BUILD_DIR=build after the test command, as CI does) keeps its settings and only gains the
# Kodi 20 targets, now that the Kodi headers are installed.
options=()
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DZU_BUILD_TESTS=OFF -DZU_BUILD_BENCH=OFF)
fi
mkdir -p "$BUILD_DIR"
cmake -S . -B "$BUILD_DIR" "${options[@]}" >"$BUILD_DIR/configure.log" 2>&1 ||
  { cat "$BUILD_DIR/configure.log"; fail "configuring the build"; }
grep -q "Kodi 20 add-on: built" "$BUILD_DIR/configure.log" ||
  fail "the Kodi 20 add-on is not configured (kodi-addons-dev headers missing?)"
# The channels play the test pattern made with ffmpeg (cached in the build directory).
cmake --build "$BUILD_DIR" -j2 --target kodi20-check nivotv_kodi20_zip nivotv_test_stream ||
  fail "building the Kodi 20 add-on, the test driver or the test stream"
stream="$BUILD_DIR/test-pattern.ts"
[ -s "$stream" ] || fail "no test stream at $stream"

zip=$(ls "$BUILD_DIR"/pvr.nivotv-*-kodi20.zip 2>/dev/null | head -n 1)
[ -n "$zip" ] || fail "no add-on zip in $BUILD_DIR"

# The add-on goes into Kodi as Kodi's "Install from zip file" would find it: unpacked from
# the zip, its folder at the top.
rm -rf "$OUT_DIR"
mkdir -p "$OUT_DIR"
unzip -q "$zip" -d "$OUT_DIR/zip" || fail "unpacking $zip"
[ -f "$OUT_DIR/zip/pvr.nivotv/addon.xml" ] || fail "$zip has no pvr.nivotv/addon.xml"

echo "kodi20-test: checking pvr.nivotv from $zip in Kodi 20"
if ! timeout --kill-after=30 480 "$BUILD_DIR/kodi20/check/kodi20-check" \
  --addon pvr.nivotv --addon-dir "$OUT_DIR/zip/pvr.nivotv" \
  --screenshot --play --stream-file "$stream" --offline-restart \
  --channel-bound 90 --guide-bound 120 \
  --out "$OUT_DIR/run"; then
  fail "see the lines above; logs and screenshots are in $OUT_DIR/run"
fi
echo "kodi20-test: passed; screenshots: $OUT_DIR/run/tvguide.png, $OUT_DIR/run/tvguide-offline.png," \
  "$OUT_DIR/run/channel-*.png"
