#!/usr/bin/env bash
# The whole panel without a camera: two simulated cameras with a live picture
# on loopback and the panel in a throw-away profile.
#
#   scripts/demo.sh [--no-build] [--build-dir DIR]
#
# Starts corvanta-camsim on CORVANTA_DEMO_CAMERAS (default "127.0.0.11
# 127.0.0.12"; VISCA 5678, HTTP 8080, RTSP 8554 on each address), writes a
# settings.ini in a temporary folder in which cameras 1 and 2 are those
# simulators and the web server listens on 127.0.0.1 (a free port), starts the
# panel with that folder as its whole home (nothing is read from or written to
# the user's own profile), selects camera 1 (its preview opens) and prints the
# web pages' address. Ctrl-C, or closing the panel, stops everything it
# started and removes the folder. Only loopback addresses are used.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
do_build=1
while [ $# -gt 0 ]; do
    case "$1" in
    --no-build) do_build=0 ;;
    --build-dir) build="$(cd "$2" && pwd)"; shift ;;
    *) echo "usage: $0 [--no-build] [--build-dir DIR]" >&2; exit 2 ;;
    esac
    shift
done
if [ "$do_build" = 1 ]; then
    "$root/scripts/install-deps.sh"
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j "$(nproc)" --target corvanta corvanta-camsim
fi
camsim="$build/tools/camera-simulator/corvanta-camsim"
panel="$build/app/corvanta"
read -r -a cameras <<<"${CORVANTA_DEMO_CAMERAS:-127.0.0.11 127.0.0.12}"
for address in "${cameras[@]}"; do
    case "$address" in
    127.*) ;;
    *) echo "demo cameras must be loopback addresses (127.x.x.x): $address" >&2; exit 2 ;;
    esac
done

home="$(mktemp -d "${TMPDIR:-/tmp}/corvanta-demo.XXXXXX")"
pids=()
stop_all() {
    trap - EXIT INT TERM
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$home"
}
trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Everything the panel, GStreamer and the fonts keep goes below $home.
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config"
export XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/runtime"
mkdir -p "$XDG_DATA_HOME/corvanta/corvanta-controller" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

n=0
for address in "${cameras[@]}"; do
    n=$((n + 1))
    # The simulator needs no display (and an X11 platform would take --name).
    QT_QPA_PLATFORM=offscreen "$camsim" --address "$address" --visca-port 5678 --http-port 8080 \
        --rtsp-port 8554 --name "Demo camera $n" >"$home/camsim-$n.log" 2>&1 &
    pids+=($!)
done

web_port="$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')"
ini="$XDG_DATA_HOME/corvanta/corvanta-controller/settings.ini"
{
    echo "[General]"
    echo "startuponlaunch=true"
    echo "servernic=127.0.0.1"
    echo "serverportnum=$web_port"
    echo "is%20hotkey%20available=true"
    echo "previewonlaunch=true"
    echo
    echo "[cameraslist]"
    echo "size=${#cameras[@]}"
    n=0
    for address in "${cameras[@]}"; do
        n=$((n + 1))
        echo "$n\\cameratype=0"
        echo "$n\\cameraid=$address"
        echo "$n\\cameraname=Demo $n"
        echo "$n\\devicename=$address"
        echo "$n\\httpport=8080"
        echo "$n\\stream1=rtsp://$address:8554/1"
        echo "$n\\stream2=rtsp://$address:8554/2"
    done
} >"$ini"

# Every simulator is listening before the panel starts.
for i in $(seq 1 ${#cameras[@]}); do
    for _ in $(seq 100); do
        grep -q -e "VISCA on" -e "cannot" "$home/camsim-$i.log" 2>/dev/null && break
        sleep 0.1
    done
    if ! grep -q "VISCA on" "$home/camsim-$i.log"; then
        echo "simulator $i did not start:" >&2
        cat "$home/camsim-$i.log" >&2
        exit 1
    fi
    sed -n 's/^/  /p' "$home/camsim-$i.log"
done

"$panel" >"$home/panel.log" 2>&1 &
panel_pid=$!
pids+=("$panel_pid")

url="http://127.0.0.1:$web_port/"
for _ in $(seq 300); do
    if /usr/bin/python3 - "$url" <<'EOF' 2>/dev/null; then break; fi
import sys, urllib.request
urllib.request.urlopen(sys.argv[1] + "cam/getCurrentCamInfo", timeout=1).read()
EOF
    kill -0 "$panel_pid" 2>/dev/null || { echo "the panel ended:" >&2; cat "$home/panel.log" >&2; exit 1; }
    sleep 0.1
done
# Camera 1 (the API counts from 0); its preview opens once it is connected.
/usr/bin/python3 -c "import urllib.request, sys; urllib.request.urlopen(sys.argv[1] + 'cam/connect?camNum=0', timeout=5).read()" "$url"

echo
echo "Corvanta demo: camera 1 and 2 are simulators (${cameras[*]})."
echo "Browser pages: $url"
echo "Profile (removed at the end): $home"
echo "Close the panel or press Ctrl-C to stop."
wait "$panel_pid" || true
