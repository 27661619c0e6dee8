#!/usr/bin/env bash
# Memory of the camera API under JSON with one key repeated many times.
#
#   bench/json/run.sh [requests]      (default 3000)
#
# Builds bench/http's server (the real router and "/cam/" handler, in
# $BUILD_DIR, default build-bench/), starts it on 127.0.0.1 and sends "/cam/saveSettings"
# requests of about 14 KB whose camList holds "a":[1] 700 times, one after
# another on one keep-alive connection. Prints the server's resident memory
# (VmRSS) after 100 warm-up requests and after the run, and the growth.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
requests="${1:-3000}"
build="${BUILD_DIR:-$root/build-bench}"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANTA_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j2 --target corvanta_http_bench >/dev/null

home="$(mktemp -d)"
out="$(mktemp)"
trap 'kill "$server" 2>/dev/null || true; rm -rf "$home" "$out"' EXIT
XDG_DATA_HOME="$home" QT_QPA_PLATFORM=offscreen "$build/bench/http/corvanta_http_bench" 0 "" 0 >"$out" &
server=$!
for _ in $(seq 100); do grep -q '^port ' "$out" && break; sleep 0.1; done
port="$(sed -n 's/^port //p' "$out")"
python3 "$here/repeated_keys.py" "$port" "$server" "$requests"
