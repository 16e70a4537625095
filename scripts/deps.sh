#!/usr/bin/env bash
# Installs every Debian package the toolkit needs to build, test, run and package
# (the install and package tests check the menu entries, file type, man pages and completion;
# Clayvane's window test watches its screen-saver call on a session bus of its own).
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libpugixml-dev libglm-dev libassimp-dev libstb-dev libpng-dev libsquish-dev
  qt6-base-dev libqt6opengl6-dev libx11-dev libgl-dev libgl1-mesa-dri libglu1-mesa-dev libegl-dev
  xvfb xauth
  clang-14 libclang-rt-14-dev time xz-utils
  desktop-file-utils shared-mime-info man-db groff-base bash-completion dpkg-dev
  dbus-daemon dbus-bin
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
