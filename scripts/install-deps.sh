#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, run and test the program, and the
# packages named as arguments. Skips apt entirely when everything is already there.
set -euo pipefail
PKGS=(build-essential cmake qt6-base-dev libqt6opengl6-dev libqcustomplot-dev
      libglu1-mesa-dev libgtest-dev xvfb xauth fonts-dejavu-core libfftw3-dev
      pkg-config qt6-translations-l10n qt6-svg-dev "$@")
missing=()
for p in "${PKGS[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "Need root (or sudo) to install: ${missing[*]}" >&2; exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}"
