#!/usr/bin/env bash
# Prepares a Debian 12 machine for Tarnwell and builds it into build/:
# installs the packages the build, the tests and the Debian package need (only those still
# missing; uses sudo when not run as root), configures with CMake and Ninja, builds everything,
# and creates build/log so the program's conversion logs have a place to go. Safe to run again
# at any time.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ clang libtiff-dev libgtest-dev libgmock-dev libbenchmark-dev
          qt6-base-dev qpdf ghostscript netpbm poppler-utils pkg-config xvfb xauth
          dpkg-dev file cmark groff libtesseract-dev tesseract-ocr-eng python3
          default-jre-headless libpdfbox2-java libactivation-java libjaxb-api-java)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} > 0)); then
  sudo=()
  if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" apt-get update
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja
cmake --build build
mkdir -p build/log
