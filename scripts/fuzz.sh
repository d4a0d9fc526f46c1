#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer (address and undefined-behaviour sanitizers
# on) and runs each for SECONDS, or only TARGET. Each target starts from its seed corpus,
# written from the sample provider's documents, from the inputs it found before (kept in the
# build directory), and from the findings kept in fuzz/regressions/TARGET.
#
# Usage: bash scripts/fuzz.sh [SECONDS] [TARGET]     (SECONDS default 30)
# Environment: BUILD_DIR (default build-fuzz), OUT_DIR (default out/fuzz), FUZZ_JOBS (targets
# run at once, default 2).
#
# A finding stops the script with the fuzzer's report and the input in OUT_DIR/TARGET/. Fix
# the fault, then keep the input as fuzz/regressions/TARGET/<what-it-shows>; the normal test
# suite replays every kept input. OUT_DIR/summary.md gets the executions of each target.
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_EACH=${1:-30}
ONLY=${2:-}
BUILD_DIR=${BUILD_DIR:-build-fuzz}
OUT_DIR=${OUT_DIR:-out/fuzz}
FUZZ_JOBS=${FUZZ_JOBS:-2}

fail() {
  echo "fuzz: FAILED: $*" >&2
  exit 1
}

case "$SECONDS_EACH" in
  '' | *[!0-9]*) fail "SECONDS must be a whole number, not '$SECONDS_EACH'" ;;
esac

bash scripts/install-deps.sh
mkdir -p "$OUT_DIR"
CC=clang-14 CXX=clang++-14 cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZU_SANITIZE=fuzzer -DZU_BUILD_TESTS=OFF -DZU_BUILD_BENCH=OFF >"$OUT_DIR/configure.log" 2>&1 ||
  { cat "$OUT_DIR/configure.log"; fail "configuring $BUILD_DIR"; }
cmake --build "$BUILD_DIR" -j2 --target fuzzers || fail "building the fuzz targets"

targets=()
for program in "$BUILD_DIR"/fuzz/fuzz_*; do
  name=${program##*/fuzz_}
  if [ -z "$ONLY" ] || [ "$ONLY" = "$name" ]; then targets+=("$name"); fi
done
[ "${#targets[@]}" -gt 0 ] || fail "no fuzz target named '$ONLY'"

seeds="$BUILD_DIR/fuzz/seeds"
rm -rf "$seeds"
"$BUILD_DIR/fuzz/nivotv-fuzz-seeds" "$seeds" || fail "writing the seed corpus"

# One target: its own corpus folder first (libFuzzer adds what it finds there), then the
# seeds and the kept findings. A crash, a leak, a time-out of 10 seconds on one input or
# 2 GiB of memory is a finding.
run() {
  local name=$1
  local corpus="$BUILD_DIR/fuzz/corpus/$name"
  local folders=("$corpus" "$seeds/$name")
  if [ -d "fuzz/regressions/$name" ]; then folders+=("fuzz/regressions/$name"); fi
  mkdir -p "$corpus" "$OUT_DIR/$name"
  if "$BUILD_DIR/fuzz/fuzz_$name" -max_total_time="$SECONDS_EACH" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$OUT_DIR/$name/" \
    "${folders[@]}" >"$OUT_DIR/$name.log" 2>&1; then
    echo 0 >"$OUT_DIR/$name.status"
  else
    echo 1 >"$OUT_DIR/$name.status"
  fi
}

echo "fuzz: ${#targets[@]} target(s), $SECONDS_EACH s each, $FUZZ_JOBS at a time"
rm -f "$OUT_DIR"/*.status
running=0
for name in "${targets[@]}"; do
  if [ "$running" -ge "$FUZZ_JOBS" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  run "$name" &
  running=$((running + 1))
done
wait

stat() {
  sed -n "s/^stat::$2: *//p" "$OUT_DIR/$1.log" | tail -n 1
}
failed=()
{
  echo "libFuzzer (clang $(clang++-14 -dumpversion)), $SECONDS_EACH s per target, $FUZZ_JOBS at a time;"
  echo "$(nproc) cores, $(sed -n 's/^model name[^:]*: //p' /proc/cpuinfo | head -n 1); $(date -u '+%Y-%m-%d')."
  echo
  echo "| Target | Executions | Per second | Corpus inputs | Result |"
  echo "|---|---|---|---|---|"
  for name in "${targets[@]}"; do
    runs=$(stat "$name" number_of_executed_units)
    rate=$(stat "$name" average_exec_per_sec)
    inputs=$(find "$BUILD_DIR/fuzz/corpus/$name" -type f | wc -l)
    result=passed
    if [ "$(cat "$OUT_DIR/$name.status" 2>/dev/null)" != 0 ]; then
      result="FINDING, see $OUT_DIR/$name.log"
      failed+=("$name")
    fi
    echo "| $name | ${runs:-?} | ${rate:-?} | $inputs | $result |"
  done
} >"$OUT_DIR/summary.md"
cat "$OUT_DIR/summary.md"

if [ "${#failed[@]}" -gt 0 ]; then
  for name in "${failed[@]}"; do
    echo "---- $name ----" >&2
    grep -v '^#\|^INFO\|^\s*NEW_FUNC' "$OUT_DIR/$name.log" | tail -n 40 >&2
  done
  fail "${failed[*]}: the inputs are in $OUT_DIR/<target>/"
fi
echo "fuzz: passed"
