#!/usr/bin/env bash
# Installs every Debian package that building, running and testing ZORVIK needs.
# Quick and silent when everything is already present.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev qt6-multimedia-dev
  qt6-translations-l10n qt6-l10n-tools
  libpng-dev
  libqrencode-dev
  libzxing-dev libzbar-dev zxing-cpp-tools
  imagemagick
  fonts-ipafont-gothic
  xvfb xauth xclip xdotool openbox x11-utils
  qt6-wayland weston wl-clipboard dbus python3-dbus python3-gi
  librsvg2-bin desktop-file-utils appstream man-db
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq >/dev/null
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
