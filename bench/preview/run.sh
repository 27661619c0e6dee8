#!/usr/bin/env bash
# Live preview benchmark on loopback.
#
#   bench/preview/run.sh [cycles] [seconds]      (defaults 10 and 10)
#
# Builds the bench program (RelWithDebInfo, in build-bench/), serves a
# 1280x720 30 fps H.264 test pattern at rtsp://127.0.0.61/1 (port 554, so run
# as root) with tests/preview/rtspserver.py, and prints Start -> first frame
# shown (cold and joining a running stream), the GUI-thread cost of Stop, and
# the preview process's CPU share of one core during steady playback on the
# offscreen platform (decode, conversion and painting; the server's encoder
# runs in its own process and is not counted).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD="${BENCH_BUILD_DIR:-$ROOT/build-bench}"
ADDRESS=127.0.0.61

"$ROOT/scripts/install-deps.sh"
cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANTA_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target corvanta_preview_bench >/dev/null

OUT="$(mktemp)"
DATA="$(mktemp -d)"
exec 3> >(/usr/bin/python3 "$ROOT/tests/preview/rtspserver.py" "$ADDRESS" 554 1=1280x720@30 >"$OUT")
cleanup() { exec 3>&-; rm -rf "$OUT" "$DATA"; }
trap cleanup EXIT
for _ in $(seq 300); do
    grep -q -e READY -e BINDFAIL "$OUT" && break
    sleep 0.1
done
grep -q READY "$OUT" || { echo "RTSP server did not start: $(cat "$OUT")" >&2; exit 1; }

XDG_DATA_HOME="$DATA" QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="corvanta.preview.debug=false" \
    "$BUILD/bench/preview/corvanta_preview_bench" "$ADDRESS" "${1:-10}" "${2:-10}"
