#!/usr/bin/env bash
# The demo: the add-on as a person meets it in a media centre, in the project's stand-in host
# against the sample provider on a free loopback port. It installs what is missing and builds
# only what it runs: the add-on package, nivotv-host and nivotv-provider (the test command
# builds the rest; a finished build is not redone). Then it runs one session online: the
# add-on starting, the channels, what is on now and next, the guide of the next days with a
# progress display, the switch to detailed mode with the first refresh, the details of a
# coming show, a clean shutdown and a summary. A second session with the provider stopped shows the same channels
# and guide served from the add-on's caches. The host logs go to files whose paths are
# printed.
#
# Environment: DEMO_DAYS (the guide window, default 3), BUILD_DIR (default build).
set -euo pipefail
cd "$(dirname "$0")/.."

DAYS=${DEMO_DAYS:-3}
BUILD_DIR=${BUILD_DIR:-build}
started=$(date +%s)

if [ -t 1 ]; then
  bold=$'\033[1m'
  plain=$'\033[0m'
else
  bold=""
  plain=""
fi
step() { printf '\n%s==> %s%s\n' "$bold" "$*" "$plain"; }
fail() {
  printf '\ndemo: FAILED: %s\n' "$*" >&2
  exit 1
}

work=$(mktemp -d "${TMPDIR:-/tmp}/nivotv-demo.XXXXXX")
provider_pid=""
session_pid=""
stop_provider() {
  if [ -n "$provider_pid" ]; then
    kill "$provider_pid" 2>/dev/null || true
    wait "$provider_pid" 2>/dev/null || true
    provider_pid=""
  fi
}
stop_all() {
  if [ -n "$session_pid" ]; then
    kill "$session_pid" 2>/dev/null || true
    wait "$session_pid" 2>/dev/null || true
  fi
  stop_provider
}
# The provider (and a running session) goes on every way out: success, failure, Ctrl-C, kill.
trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Runs a session in the background and waits for it, so that a signal is handled at once
# rather than after the session; its exit status is the result.
run_session() {
  "$@" &
  session_pid=$!
  local status=0
  wait "$session_pid" || status=$?
  session_pid=""
  return "$status"
}

# A command's output goes to the log; a terminal sees its latest progress line in place.
show_progress() {
  if [ -t 1 ]; then
    tee "$1" | while IFS= read -r line; do
      case $line in
        "["*"%]"*) printf '\r\033[K  %.76s' "$line" ;;
      esac
    done
    printf '\r\033[K'
  else
    cat >"$1"
  fi
}

step "Installing what is missing (scripts/install-deps.sh)"
bash scripts/install-deps.sh

step "Building the add-on package, nivotv-host and nivotv-provider ($BUILD_DIR, -j2)"
build_started=$(date +%s)
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$work/configure.log" 2>&1 ||
  { tail -n 30 "$work/configure.log"; fail "configuring; the whole log is $work/configure.log"; }
if ! cmake --build "$BUILD_DIR" -j2 --target nivotv_package nivotv-host nivotv-provider 2>&1 |
  show_progress "$work/build.log"; then
  tail -n 40 "$work/build.log"
  fail "building; the whole log is $work/build.log"
fi
echo "  done in $(($(date +%s) - build_started)) s"

host="$BUILD_DIR/nivotv-host"
package="$BUILD_DIR/package/pvr.nivotv"
[ -x "$host" ] && [ -f "$package/addon.xml" ] || fail "the build left no $host or $package"

step "Starting the sample provider on a free loopback port"
"$BUILD_DIR/provider/nivotv-provider" --port 0 >"$work/provider.out" 2>"$work/provider.log" &
provider_pid=$!
port=""
for _ in $(seq 100); do
  port=$(sed -n 's/^listening 127\.0\.0\.1:\([0-9][0-9]*\)$/\1/p' "$work/provider.out")
  [ -n "$port" ] && break
  kill -0 "$provider_pid" 2>/dev/null || { cat "$work/provider.log"; fail "the provider ended"; }
  sleep 0.1
done
[ -n "$port" ] || fail "the provider did not say its port within 10 s ($work/provider.log)"
address="127.0.0.1:$port"
echo "  nivotv-provider listening on $address"
echo "  (its log: $work/provider.log)"

# The add-on finds the service through these two variables; both hosts are the provider.
export NIVOTV_SERVICE_HOST="$address"
export NIVOTV_GUIDE_HOST="$address"
# Both sessions ask for the same window, so the second one can be compared with the first.
from=$(date +%s)
session=("$host" session --addon "$package" --user "$work/user" --days "$DAYS" --from "$from"
  --provider "$address")

step "The add-on online, against the sample provider"
echo "  NIVOTV_SERVICE_HOST=$address NIVOTV_GUIDE_HOST=$address \\"
echo "    nivotv-host session --user $work/user --days $DAYS --duration 90 --triggers 1"
run_session "${session[@]}" --log "$work/host-online.log" --json-out "$work/online.json" \
  --duration 90 --triggers 1 ||
  fail "the online session (its host log: $work/host-online.log)"

step "The provider stopped: the same session, served from the add-on's caches"
stop_provider
echo "  nivotv-host session --user $work/user --days $DAYS --duration 0"
run_session "${session[@]}" --log "$work/host-offline.log" --json-out "$work/offline.json" \
  --duration 0 ||
  fail "the offline session (its host log: $work/host-offline.log)"

# The first value of a member in a session's JSON document.
value() { sed -n "s/^ *\"$2\": \\([0-9][0-9]*\\),\\{0,1\\}$/\\1/p" "$1" | head -n 1; }
same=yes
for member in tv radio tvChannelsWithGuide windowShows; do
  [ "$(value "$work/online.json" "$member")" = "$(value "$work/offline.json" "$member")" ] ||
    same=no
done
[ -n "$(value "$work/offline.json" windowShows)" ] || same=no
if [ "$same" != yes ]; then
  fail "the offline session did not serve the same channels and guide ($work/*.json)"
fi

step "Done in $(($(date +%s) - started)) s"
echo "  Offline, the add-on served the same $(value "$work/offline.json" tv) TV and" \
  "$(value "$work/offline.json" radio) radio channels"
echo "  and the same $(value "$work/offline.json" windowShows) guide shows from its caches."
echo "  Host logs: $work/host-online.log"
echo "             $work/host-offline.log"
echo "  User data (caches, logos): $work/user"
echo "  To install the add-on in a media centre (see the README):"
echo "    cmake --build $BUILD_DIR --target nivotv_zip  ->  $BUILD_DIR/pvr.nivotv-4.0.2.zip"
