#!/usr/bin/env bash
# Installs the Debian packages Sonavell builds and tests with, only those that are missing.
set -euo pipefail

packages=(
    build-essential cmake pkg-config ninja-build ccache
    qt6-base-dev qt6-base-dev-tools libgl-dev
    libasound2-dev libpulse-dev libmad0-dev libmp3lame-dev libmp3lame0
    libgtest-dev
    lame alsa-utils
    pulseaudio pulseaudio-utils
    desktop-file-utils
    xvfb xdotool
)
[ "${WITH_FUZZ:-0}" = 1 ] && packages+=(clang-14 libclang-rt-14-dev)
# The benchmarks compare against madplay, mp3splt and ffmpeg.
[ "${WITH_BENCH:-0}" = 1 ] && packages+=(madplay mp3splt ffmpeg)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
