#!/usr/bin/env bash
# Load test of the embedded web server on loopback.
#
#   bench/http/run.sh [seconds-per-run]      (default 5)
#
# Builds bench/http's server (RelWithDebInfo, in build-bench/), starts it on
# 127.0.0.1 pinned to one core, and drives "/cam/getCurrentCamInfo" (a small
# JSON answer through the full router) with wrk on the other core, keep-alive,
# at 1, 16 and 64 connections, then 16 connections twice more to see whether
# memory grows across runs. Prints requests/s, latency percentiles and the
# server's resident memory after each run and its peak.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${BENCH_BUILD_DIR:-$ROOT/build-bench}"
SECONDS_PER_RUN="${1:-5}"

"$ROOT/scripts/install-deps.sh"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANTA_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target corvanta_http_bench >/dev/null

DATA="$(mktemp -d)"
OUT="$(mktemp)"
SERVER_PID=""
cleanup() {
    if [ -n "$SERVER_PID" ]; then kill "$SERVER_PID" 2>/dev/null || true; wait "$SERVER_PID" 2>/dev/null || true; fi
    rm -rf "$DATA" "$OUT"
}
trap cleanup EXIT

PIN_SERVER=()
PIN_CLIENT=()
if command -v taskset >/dev/null && [ "$(nproc)" -ge 2 ]; then
    PIN_SERVER=(taskset -c 0)
    PIN_CLIENT=(taskset -c 1)
fi

XDG_DATA_HOME="$DATA" QT_QPA_PLATFORM=offscreen "${PIN_SERVER[@]}" \
    "$BUILD/bench/http/corvanta_http_bench" 0 >"$OUT" &
SERVER_PID=$!
for _ in $(seq 100); do
    grep -q '^port ' "$OUT" && break
    sleep 0.1
done
PORT="$(awk '/^port /{print $2}' "$OUT")"
[ -n "$PORT" ] || { echo "server did not start" >&2; exit 1; }
URL="http://127.0.0.1:$PORT/cam/getCurrentCamInfo"

rss_kb() { awk '/^VmRSS:/{print $2}' "/proc/$SERVER_PID/status"; }
hwm_kb() { awk '/^VmHWM:/{print $2}' "/proc/$SERVER_PID/status"; }

# Warm-up so the first measured run does not pay for first-touch allocations.
"${PIN_CLIENT[@]}" wrk -t1 -c16 -d1s "$URL" >/dev/null

echo "server pid $SERVER_PID on 127.0.0.1:$PORT${PIN_SERVER:+ (pinned to cpu 0, wrk on cpu 1)}; ${SECONDS_PER_RUN}s per run"
printf '%-6s %12s %10s %10s %10s %10s %10s\n' conns "req/s" p50 p90 p99 max "rss(KiB)"
for c in 1 16 64 16 16; do
    res="$("${PIN_CLIENT[@]}" wrk -t1 -c"$c" -d"${SECONDS_PER_RUN}s" --latency "$URL")"
    rps="$(awk '/^Requests\/sec:/{print $2}' <<<"$res")"
    p50="$(awk '$1=="50%"{print $2}' <<<"$res")"
    p90="$(awk '$1=="90%"{print $2}' <<<"$res")"
    p99="$(awk '$1=="99%"{print $2}' <<<"$res")"
    max="$(awk '$1=="Latency"{print $4; exit}' <<<"$res")"
    errs="$(grep -E 'Non-2xx|Socket errors' <<<"$res" | tr -s ' ' | tr '\n' ' ' || true)"
    printf '%-6s %12s %10s %10s %10s %10s %10s %s\n' "$c" "$rps" "$p50" "$p90" "$p99" "$max" "$(rss_kb)" "$errs"
done
echo "peak rss $(hwm_kb) KiB"
