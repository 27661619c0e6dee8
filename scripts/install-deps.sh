#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test Corvanta.
# Idempotent: packages already present are not reinstalled and apt is only
# consulted when something is missing.
set -euo pipefail

PACKAGES=(
    build-essential cmake make pkg-config
    qtbase5-dev qtbase5-dev-tools libqt5websockets5-dev libqt5svg5-dev
    libhttp-parser-dev nlohmann-json3-dev
    libqt5serialport5-dev
    libsdl2-dev
    xvfb xauth
    wrk
    libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base
    gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly gstreamer1.0-libav
    python3-gi gir1.2-gst-rtsp-server-1.0 libgstrtspserver-1.0-dev
    chromium
)

# --fuzz: also the clang toolchain and libFuzzer runtime for `make fuzz`.
if [ "${1:-}" = "--fuzz" ]; then
    PACKAGES+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
