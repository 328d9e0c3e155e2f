#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on Debian 12 (apt; sudo when not root).
set -euo pipefail
pkgs=(cmake ninja-build g++ clang-14 libclang-rt-14-dev
      qt6-base-dev qt6-multimedia-dev qt6-httpserver-dev qt6-websockets-dev qt6-qpa-plugins libgl-dev
      libcurl4-openssl-dev libgtest-dev libgmock-dev libbenchmark-dev fonts-liberation
      libgif-dev) # giflib: only bench/gif links it, to compare the decoder; the product never does
missing=()
for p in "${pkgs[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}" >&2
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
