#!/usr/bin/env bash
# Load test of the embedded web server on loopback.
#
#   bench/http/run.sh [seconds-per-run]      (default 5)
#
# Builds bench/http's server (RelWithDebInfo, in build-bench/) and starts it on
# 127.0.0.1 pinned to one core; wrk runs on the other core, keep-alive.
#  1. "/cam/getCurrentCamInfo" (the camera API's answer through the full router
#     and handler; nginx below serves the same bytes as a static file)
#     at 1, 16 and 64 connections, then 16 twice more to see whether memory
#     grows across runs: requests/s, latency percentiles, resident memory.
#  2. The same small body, a 32 KiB and a 256 KiB preset thumbnail against
#     nginx (one worker, sendfile, same bytes, same pinning) in the same run,
#     alternating the two servers: requests/s of each and our ratio.
#  3. "/cam/control" request-to-VISCA-bytes latency (control_latency.py: the
#     script plays the camera).
#  4. Resident memory with 250 clients that ask for the 256 KiB thumbnail
#     (pipelined) and read nothing: before, while they hold on, and after
#     they have gone.
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
NGINX_PID=""
cleanup() {
    for pid in "$SERVER_PID" "$NGINX_PID"; do
        if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
    done
    rm -rf "$DATA" "$OUT"
}
trap cleanup EXIT

PIN_SERVER=()
PIN_CLIENT=()
if command -v taskset >/dev/null && [ "$(nproc)" -ge 2 ]; then
    PIN_SERVER=(taskset -c 0)
    PIN_CLIENT=(taskset -c 1)
fi

# The same bytes for both servers: thumbnails in our downloads folder and in
# nginx's root; the small body is written by our server itself.
DOWNLOADS="$DATA/xdg/corvanta_http_bench/corvanta-controller/downloads"
WWW="$DATA/www"
mkdir -p "$DOWNLOADS" "$WWW"
head -c $((32 * 1024)) /dev/urandom >"$WWW/b32.jpg"
head -c $((256 * 1024)) /dev/urandom >"$WWW/b256.jpg"
cp "$WWW/b32.jpg" "$DOWNLOADS/snapshot_b32.jpg"
cp "$WWW/b256.jpg" "$DOWNLOADS/snapshot_b256.jpg"
chmod -R a+rX "$DATA"

XDG_DATA_HOME="$DATA/xdg" QT_QPA_PLATFORM=offscreen "${PIN_SERVER[@]}" \
    "$BUILD/bench/http/corvanta_http_bench" 0 "$WWW/small.json" >"$OUT" &
SERVER_PID=$!
for _ in $(seq 100); do
    grep -q '^port ' "$OUT" && break
    sleep 0.1
done
PORT="$(awk '/^port /{print $2}' "$OUT")"
[ -n "$PORT" ] || { echo "server did not start" >&2; exit 1; }
chmod a+r "$WWW/small.json"
BASE="http://127.0.0.1:$PORT"
URL="$BASE/cam/getCurrentCamInfo"

# nginx has no port 0: take a free one from the kernel and hope it stays free.
NGINX_PORT="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')"
cat >"$DATA/nginx.conf" <<EOF
worker_processes 1;
daemon off;
pid $DATA/nginx.pid;
error_log $DATA/nginx-error.log;
$( [ "$(id -u)" = 0 ] && echo "user root;" )
events { worker_connections 1024; }
http {
    access_log off;
    sendfile on;
    tcp_nopush on;
    keepalive_requests 1000000;
    client_body_temp_path $DATA/nginx-tmp;
    proxy_temp_path $DATA/nginx-tmp;
    fastcgi_temp_path $DATA/nginx-tmp;
    uwsgi_temp_path $DATA/nginx-tmp;
    scgi_temp_path $DATA/nginx-tmp;
    server {
        listen 127.0.0.1:$NGINX_PORT;
        root $WWW;
    }
}
EOF
"${PIN_SERVER[@]}" nginx -c "$DATA/nginx.conf" -p "$DATA" &
NGINX_PID=$!
for _ in $(seq 100); do
    curl -sf -o /dev/null "http://127.0.0.1:$NGINX_PORT/b32.jpg" && break
    sleep 0.1
done
NGINX="http://127.0.0.1:$NGINX_PORT"

rss_kb() { awk '/^VmRSS:/{print $2}' "/proc/$SERVER_PID/status"; }
hwm_kb() { awk '/^VmHWM:/{print $2}' "/proc/$SERVER_PID/status"; }
rps() { "${PIN_CLIENT[@]}" wrk -t1 -c"$1" -d"$2" "$3" | awk '/^Requests\/sec:/{print $2}'; }

# The same bytes must come back from both servers.
for pair in "$URL $NGINX/small.json" "$BASE/assets?_type=preset&_name=b32.jpg $NGINX/b32.jpg" \
            "$BASE/assets?_type=preset&_name=b256.jpg $NGINX/b256.jpg"; do
    set -- $pair
    cmp -s <(curl -sf "$1") <(curl -sf "$2") || { echo "bodies differ: $1 $2" >&2; exit 1; }
done

# Warm-up so the first measured run does not pay for first-touch allocations.
"${PIN_CLIENT[@]}" wrk -t1 -c16 -d1s "$URL" >/dev/null
"${PIN_CLIENT[@]}" wrk -t1 -c16 -d1s "$NGINX/b256.jpg" >/dev/null

echo "server pid $SERVER_PID on 127.0.0.1:$PORT, nginx on :$NGINX_PORT${PIN_SERVER:+ (servers pinned to cpu 0, wrk on cpu 1)}; ${SECONDS_PER_RUN}s per run"
echo
echo "== small API answer"
printf '%-6s %12s %10s %10s %10s %10s %10s\n' conns "req/s" p50 p90 p99 max "rss(KiB)"
for c in 1 16 64 16 16; do
    res="$("${PIN_CLIENT[@]}" wrk -t1 -c"$c" -d"${SECONDS_PER_RUN}s" --latency "$URL")"
    r="$(awk '/^Requests\/sec:/{print $2}' <<<"$res")"
    p50="$(awk '$1=="50%"{print $2}' <<<"$res")"
    p90="$(awk '$1=="90%"{print $2}' <<<"$res")"
    p99="$(awk '$1=="99%"{print $2}' <<<"$res")"
    max="$(awk '$1=="Latency"{print $4; exit}' <<<"$res")"
    errs="$(grep -E 'Non-2xx|Socket errors' <<<"$res" | tr -s ' ' | tr '\n' ' ' || true)"
    printf '%-6s %12s %10s %10s %10s %10s %10s %s\n' "$c" "$r" "$p50" "$p90" "$p99" "$max" "$(rss_kb)" "$errs"
done

echo
echo "== against nginx (one worker), 16 connections, two alternating rounds (goal for small: ratio >= 0.5)"
printf '%-10s %12s %12s %8s\n' body "ours req/s" "nginx req/s" ratio
half=$(( (SECONDS_PER_RUN + 1) / 2 ))s
for pair in "small $URL $NGINX/small.json" \
            "32KiB $BASE/assets?_type=preset&_name=b32.jpg $NGINX/b32.jpg" \
            "256KiB $BASE/assets?_type=preset&_name=b256.jpg $NGINX/b256.jpg"; do
    set -- $pair
    o1="$(rps 16 "$half" "$2")"; n1="$(rps 16 "$half" "$3")"
    n2="$(rps 16 "$half" "$3")"; o2="$(rps 16 "$half" "$2")"
    ours="$(awk -v a="$o1" -v b="$o2" 'BEGIN{printf "%.0f", (a+b)/2}')"
    theirs="$(awk -v a="$n1" -v b="$n2" 'BEGIN{printf "%.0f", (a+b)/2}')"
    printf '%-10s %12s %12s %8s\n' "$1" "$ours" "$theirs" \
        "$(awk -v a="$ours" -v b="$theirs" 'BEGIN{printf "%.2f", a/b}')"
done

echo
echo "== /cam/control: request to VISCA bytes at the camera"
python3 "$ROOT/bench/http/control_latency.py" "$BUILD/bench/http/corvanta_http_bench" 2000

echo
echo "== 250 clients that ask for the 256 KiB thumbnail and read nothing"
idle="$(rss_kb)"
python3 - "$PORT" "$SERVER_PID" <<'EOF' &
import socket, sys, time
port = int(sys.argv[1])
req = b"GET /assets?_type=preset&_name=b256.jpg HTTP/1.1\r\nHost: x\r\n\r\n" * 16
socks = []
for i in range(250):
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    s.connect(("127.0.0.1", port))
    s.sendall(req)
    socks.append(s)
time.sleep(6)
for s in socks:
    s.close()
EOF
HOLD_PID=$!
sleep 4
held="$(rss_kb)"
during="$(curl -s -m 5 -o /dev/null -w '%{http_code}' "$URL" || true)"
wait "$HOLD_PID"
sleep 2
after="$(rss_kb)"
served="$(curl -s -o /dev/null -w '%{http_code}' "$URL")"
printf 'rss idle %s KiB, with 250 non-reading clients %s KiB, after they left %s KiB\n' \
    "$idle" "$held" "$after"
printf 'a normal request while they held on: %s, afterwards: %s\n' "$during" "$served"
echo "peak rss $(hwm_kb) KiB"
