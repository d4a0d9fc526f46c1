#!/usr/bin/env bash
# Installs what the real-host test needs from Debian: Kodi 20, its add-on headers, the
# IPTV Simple client it is compared with, a virtual X server with Mesa's software renderer,
# ffmpeg for the test stream the channels play, and the tools the test drives them with.
# Packages already present are skipped; apt-get is only called when something is missing.
# Recommended packages stay out, so that Kodi comes without add-ons of its own beyond the
# ones named here.
set -euo pipefail

packages=(
  kodi kodi-addons-dev kodi-pvr-iptvsimple
  xvfb xauth libgl1-mesa-dri x11-utils
  imagemagick sqlite3 curl zip unzip procps ffmpeg
)
if [ "$#" -gt 0 ]; then packages+=("$@"); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-kodi: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-kodi: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
