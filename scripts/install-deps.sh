#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, test and run its demo.
# Packages already present are skipped; apt-get is only called when something is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libboost-serialization-dev libboost-date-time-dev
  nlohmann-json3-dev zlib1g-dev libbz2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev libcurl4-openssl-dev
  clang-14 libclang-rt-14-dev
  zip
)
if [ "$#" -gt 0 ]; then packages+=("$@"); fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
