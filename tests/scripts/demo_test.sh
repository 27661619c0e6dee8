#!/usr/bin/env bash
# `make demo` end to end, on the offscreen platform: the demo starts, the
# panel connects to simulator 1, the web pages answer at the printed address,
# and stopping it stops every process it started and removes its profile.
# (A background job of a script ignores SIGINT, so the stop here is SIGTERM;
# Ctrl-C at a terminal takes the same path.)
#   demo_test.sh <build folder>
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$1"
export QT_QPA_PLATFORM=offscreen
# Addresses of this test only, so that it can run beside the other suites.
export CORVANTA_DEMO_CAMERAS="127.0.0.213 127.0.0.214"
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
setsid "$root/scripts/demo.sh" --no-build --build-dir "$build" >"$out" 2>&1 &
demo=$!
fail() {
    echo "FAIL: $*" >&2
    cat "$out" >&2
    kill -TERM "$demo" 2>/dev/null || true
    wait "$demo" 2>/dev/null || true
    exit 1
}
for _ in $(seq 600); do
    grep -q "Browser pages:" "$out" && break
    kill -0 "$demo" 2>/dev/null || fail "the demo ended early"
    sleep 0.1
done
url="$(sed -n 's/^Browser pages: //p' "$out")"
profile="$(sed -n 's/^Profile (removed at the end): //p' "$out")"
[ -n "$url" ] || fail "no address printed"
case "$url" in http://127.0.0.1:*) ;; *) fail "not a loopback address: $url" ;; esac

# The panel connected to simulator 1 and the web server answers.
for _ in $(seq 300); do
    grep -q "VISCA client connected" "$profile/camsim-1.log" && break
    sleep 0.1
done
grep -q "VISCA client connected" "$profile/camsim-1.log" || fail "simulator 1 saw no connection"
answer="$(/usr/bin/python3 -c 'import sys, urllib.request; print(urllib.request.urlopen(sys.argv[1] + "cam/getCurrentCamInfo", timeout=5).read().decode())' "$url")" ||
    fail "the web server did not answer"
echo "$answer" | grep -q '"status": *"OK"' || fail "unexpected answer: $answer"
page="$(/usr/bin/python3 -c 'import sys, urllib.request; print(urllib.request.urlopen(sys.argv[1], timeout=5).status)' "$url")"
[ "$page" = 200 ] || fail "page status $page"

# Stopped: everything stops, the profile is gone.
kill -TERM "$demo"
wait "$demo" || true
if pgrep -f "corvanta-camsim --address 127.0.0.21[34]" >/dev/null; then
    fail "a simulator is still running"
fi
[ ! -e "$profile" ] || fail "the profile $profile is left"
echo "PASS"
