#!/usr/bin/env bash
# The benchmarks against their floors: builds them (RelWithDebInfo, as shipped, in build-bench
# unless ZU_BENCH_BUILD names another directory), runs every one and prints the results table
# of docs/performance.md with the machine, the date and the command.
#
# Usage: bash scripts/bench.sh [--quick]
#   (no option)  a few minutes: enough pairs for stable medians
#   --quick      seconds: a smoke run that keeps the benchmarks building and running (CI);
#                its figures are not worth quoting
#
# The guide benchmark keeps its user path on /dev/shm when there is one (ZU_BENCH_DISK=1: on
# the disk instead). Other work on the machine moves the figures: run it on a quiet machine,
# more than once, and quote medians.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZU_BENCH_BUILD:-$root/build-bench}
quick=""
for argument in "$@"; do
  case "$argument" in
    --quick) quick=--quick ;;
    *)
      echo "usage: bash scripts/bench.sh [--quick]" >&2
      exit 2
      ;;
  esac
done

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
programs=(http_bench channel_bench guide_bench cache_bench sharedptr_bench memory_bench)
cmake --build "$build" -j2 --target "${programs[@]}" net_bench

table=$(mktemp)
trap 'rm -f "$table"' EXIT
export ZU_BENCH_TABLE=$table
for program in "${programs[@]}"; do
  echo "== $program $quick"
  "$build/bench/$program" $quick
done
if [ -z "$quick" ]; then
  echo "== net_bench"
  "$build/bench/net_bench" --benchmark_min_time=0.2
fi

cpu=$(grep -m1 "model name" /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')
echo
echo "Machine: $cpu, $(nproc) cores, Linux $(uname -r); $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "Command: bash scripts/bench.sh $quick (RelWithDebInfo build)"
echo
echo "| Benchmark | Ours | Floor | Ratio | Target | Met |"
echo "|---|---|---|---|---|---|"
awk -F'\t' '{ printf "| %s | %s | %s | %s | %s | %s |\n", $1, $2, $3, $4, $5, $6 }' "$table"
if grep -q $'\tno$' "$table"; then
  echo
  echo "bench: some targets were missed (see docs/performance.md for what stands in the way)"
fi
