#!/usr/bin/env bash
# Regenerates the screenshots from the real windows under Xvfb:
# docs/screenshot-compact.png, docs/screenshot-advanced.png,
# docs/screenshot-tally.png and docs/screenshot-tally-setting.png (the panel),
# and docs/windows/<light|dark>-<window>.png (every window, with the light and
# the dark settings; the live preview plays the RTSP test server on
# 127.0.0.71:554, so run as root).
# docs/screenshot-demo.png is the panel and its preview in `make demo`
# (xdotool lays the windows side by side).
# Usage: docs/screenshots/take.sh [build folder]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target panel_screenshots window_screenshots corvanta corvanta-camsim \
    >/dev/null
command -v xdotool >/dev/null || apt-get install -y -qq xdotool >/dev/null
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1100x770x24" \
    "$root/docs/screenshots/demoshot.sh" "$build" "$root/docs"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1600x1200x24" \
    "$build/tests/ui/panel_screenshots" "$root/docs"

out="$(mktemp)"
exec 3> >(/usr/bin/python3 "$root/tests/preview/rtspserver.py" --keep-playing 127.0.0.71 554 \
    1=1280x720@30 2=640x360@30 >"$out")
trap 'exec 3>&-; rm -f "$out"' EXIT
for _ in $(seq 300); do
    grep -q -e READY -e BINDFAIL "$out" && break
    sleep 0.1
done
grep -q READY "$out" || { echo "RTSP server did not start: $(cat "$out")" >&2; exit 1; }
mkdir -p "$root/docs/windows"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1600x1200x24" \
    "$build/tests/ui/window_screenshots" "$root/docs/windows" 127.0.0.71
