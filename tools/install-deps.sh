#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, only when some are missing.
set -euo pipefail
packages=(cmake g++ make pkg-config libgtest-dev libjpeg62-turbo-dev libjpeg-turbo-progs
          qt6-base-dev qt6-svg-dev libgl-dev xvfb xauth imagemagick libimage-exiftool-perl
          fonts-noto-cjk qt6-translations-l10n clang libclang-rt-14-dev
          g++-mingw-w64-x86-64-posix wine xdotool nsis zip)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
