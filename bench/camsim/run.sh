#!/usr/bin/env bash
# Memory of the camera simulator under a VISCA client that never reads.
#
#   bench/camsim/run.sh [megabytes]      (default 100)
#
# Builds corvanta-camsim (RelWithDebInfo, in build-bench/), starts it on
# 127.0.0.1 with free ports, then a client that sends up to the given amount
# of zoom inquiries without ever reading a reply (each send waits at most 5 s).
# Prints how much the simulator accepted and its resident memory before and
# after; with flow control the client stalls early and the memory stays flat.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${BENCH_BUILD_DIR:-$ROOT/build-bench}"
MEGABYTES="${1:-100}"

"$ROOT/scripts/install-deps.sh"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANTA_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target corvanta-camsim >/dev/null

read -r VISCA HTTP < <(python3 -c '
import socket
s = [socket.socket() for _ in range(2)]
for x in s: x.bind(("127.0.0.1", 0))
print(*(x.getsockname()[1] for x in s))')
SIM="$(find "$BUILD" -name corvanta-camsim -type f -perm -u+x | head -n1)"
"$SIM" --address 127.0.0.1 --visca-port "$VISCA" --http-port "$HTTP" >/dev/null &
PID=$!
trap 'kill "$PID" 2>/dev/null || true' EXIT
sleep 1

rss() { awk '/VmRSS/ {print $2 / 1024 " MB"}' "/proc/$PID/status"; }
echo "simulator RSS before: $(rss)"
python3 - "$VISCA" "$MEGABYTES" <<'PY'
import socket, sys
port, total = int(sys.argv[1]), int(sys.argv[2]) * 1024 * 1024
c = socket.socket()
c.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
c.connect(("127.0.0.1", port))
c.settimeout(5)
block = bytes.fromhex("81090447ff") * 13107  # 64 KiB of inquiries
sent = 0
try:
    while sent < total:
        sent += c.send(block)
except socket.timeout:
    pass
print(f"client sent {sent / 1048576:.1f} MB of {total / 1048576:.0f} MB (stalled: {sent < total})")
PY
echo "simulator RSS after:  $(rss)"
