#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, when missing,
# and any further packages named as arguments.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libgl-dev
  xdg-utils
  libsqlite3-dev libpugixml-dev zlib1g-dev libical-dev
  radicale qtkeychain-qt6-dev
  xvfb xauth xdotool python3
  openbox trayer wmctrl x11-utils
  desktop-file-utils appstream
  bash-completion zsh fish
  chromium
  at-spi2-core python3-pyatspi gir1.2-atspi-2.0 dbus libglib2.0-bin
  libxcb-xfixes0-dev xfce4-panel
  weston qt6-wayland
  "$@"
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
