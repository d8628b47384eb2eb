#!/usr/bin/env bash
# Installs every Debian package Ambrel needs to build, test and run.
# Idempotent: quiet and quick when everything is already present.
set -euo pipefail

PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    qt6-base-dev libgl-dev libxkbcommon-dev
    libopenblas-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    fonts-dejavu-core locales
    xvfb xauth
)

missing=()
for p in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
