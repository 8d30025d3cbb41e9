#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12, as root.
# Does nothing when every package is already present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-image-formats-plugins libqt6opengl6-dev qt6-svg-dev
  qt6-translations-l10n
  libgl-dev libxkbcommon-dev
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
  libmp3lame-dev libfontconfig-dev
  fonts-noto-cjk
  googletest libgtest-dev libgmock-dev
  xvfb xauth ffmpeg dbus-daemon
  imagemagick xdotool
  desktop-file-utils appstream
  dpkg-dev lintian file
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${missing[*]}" >&2
  echo "run this script as root (or install them with apt-get) and try again" >&2
  exit 1
fi

echo "installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
