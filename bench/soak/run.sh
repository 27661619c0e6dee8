#!/usr/bin/env bash
# Show-length soak of the live preview on loopback.
#
#   bench/soak/run.sh [restarts]      (default 1000)
#
# Builds the bench program (RelWithDebInfo, in build-bench/), serves two
# "cameras" (tests/preview/rtspserver.py on 127.0.0.1, free ports, /1 and /2
# each) and runs corvanta_soak_bench against them: restarts, stream switches
# and camera switches, each waiting for the first picture, then prints open
# descriptors, threads and RSS at start and end and whether the goal
# (descriptors and threads back to start +-2, RSS growth < 10 MB) is met.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${BENCH_BUILD_DIR:-$ROOT/build-bench}"

"$ROOT/scripts/install-deps.sh" >/dev/null
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANTA_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target corvanta_soak_bench >/dev/null

OUT_A="$(mktemp)"
OUT_B="$(mktemp)"
DATA="$(mktemp -d)"
# Small pictures with a key frame every 5 frames: each start shows a picture
# within a fraction of a second, so the run measures restarts, not waiting.
exec 3> >(/usr/bin/python3 "$ROOT/tests/preview/rtspserver.py" --keep-playing 127.0.0.1 0 \
    1=640x360@30:5 2=320x180@30:5 >"$OUT_A")
exec 4> >(/usr/bin/python3 "$ROOT/tests/preview/rtspserver.py" --keep-playing 127.0.0.1 0 \
    1=480x270@30:5 2=240x136@30:5 >"$OUT_B")
cleanup() { exec 3>&- 4>&-; rm -rf "$OUT_A" "$OUT_B" "$DATA"; }
trap cleanup EXIT
for out in "$OUT_A" "$OUT_B"; do
    for _ in $(seq 300); do
        grep -q -e READY -e BINDFAIL "$out" && break
        sleep 0.1
    done
    grep -q READY "$out" || { echo "RTSP server did not start: $(cat "$out")" >&2; exit 1; }
done
PORT_A="$(awk '/READY/ {print $2}' "$OUT_A")"
PORT_B="$(awk '/READY/ {print $2}' "$OUT_B")"

XDG_DATA_HOME="$DATA" QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="corvanta.preview.debug=false" \
    "$BUILD/bench/soak/corvanta_soak_bench" "127.0.0.1:$PORT_A" "127.0.0.1:$PORT_B" "${1:-1000}"
