#!/usr/bin/env bash
# Run by take.sh inside xvfb-run: starts `make demo`'s script, lays the panel
# and its preview side by side, drives camera 1 a little so the preview shows
# a moved head, and writes the screen to docs/screenshot-demo.png.
#   demoshot.sh <build folder> <docs folder>
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="$1"
docs="$2"
out="$(mktemp)"
QT_QPA_PLATFORM=xcb "$root/scripts/demo.sh" --no-build --build-dir "$build" >"$out" 2>&1 &
demo=$!
trap 'kill -TERM "$demo" 2>/dev/null; wait "$demo" 2>/dev/null; rm -f "$out"' EXIT
for _ in $(seq 300); do
    grep -q "Browser pages:" "$out" && break
    sleep 0.1
done
url="$(sed -n 's/^Browser pages: //p' "$out")"
[ -n "$url" ] || { cat "$out" >&2; exit 1; }
get() { /usr/bin/python3 -c 'import sys, urllib.request; urllib.request.urlopen(sys.argv[1], timeout=5).read()' "$url$1"; }
# Pan right and tilt up for a moment, zoom in a little.
drive() {
    get "cam/control?controlMethod=$1&panSpeed=8&tiltSpeed=6&zoomSpeed=4&focusSpeed=0"
    sleep "$2"
    get "cam/stopControl?controlMethod=$1"
}
drive 0 0.5
drive 2 0.4
drive 7 1.0
for _ in $(seq 100); do
    preview="$(xdotool search --onlyvisible --name "Preview" 2>/dev/null | head -1 || true)"
    [ -n "$preview" ] && break
    sleep 0.1
done
panel="$(xdotool search --onlyvisible --name "Corvanta App" | head -1)"
eval "$(xdotool getwindowgeometry --shell "$panel")"
[ -n "$preview" ] && xdotool windowmove "$preview" $((WIDTH + 8)) 0
sleep 4
/usr/bin/python3 "$root/docs/screenshots/grabscreen.py" "$docs/screenshot-demo.png"
