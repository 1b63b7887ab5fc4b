#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when
# something is missing. Idempotent and quiet when everything is there.
set -euo pipefail

packages=(
  cmake make git g++ clang libclang-rt-14-dev
  libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 xvfb xauth x11-utils imagemagick python3
  xserver-xorg-core xserver-xorg-video-dummy xserver-xorg-dev pkg-config
  qemu-system-x86 debootstrap
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}); run as root or install them" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq >/dev/null
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
