#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs every Debian package Ambrel needs to build, test and run.
# Idempotent: quiet and quick when everything is already present.
set -euo pipefail

PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    qt6-base-dev libgl-dev libxkbcommon-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev
    libopenblas-openmp-dev libopenblas0-openmp
    libgtest-dev libgmock-dev libbenchmark-dev time
    fonts-dejavu-core locales
    xvfb xauth
    parallel munge slurm-wlm
    desktop-file-utils appstream dpkg-dev file lintian
)

installed() {
    grep -q "install ok installed" <<<"$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)"
}

missing=()
for p in "${PACKAGES[@]}"; do
    if ! installed "$p"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -ne 0 ]; then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then
        SUDO="sudo"
    fi
    export DEBIAN_FRONTEND=noninteractive
    echo "Installing: ${missing[*]}" >&2
    $SUDO apt-get update -qq
    # Only installs: another build of OpenBLAS that other software uses stays, whichever one the
    # alternatives system selects. Ambrel links the OpenMP build from its own folder and finds it
    # there through its run path (cmake/AmbrelOpenBLAS.cmake).
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

multiarch="$(gcc -print-multiarch)"
if [ ! -e "/usr/lib/$multiarch/openblas-openmp/libopenblas.so.0" ]; then
    echo "the OpenMP build of OpenBLAS is missing from /usr/lib/$multiarch/openblas-openmp" >&2
    exit 1
fi
