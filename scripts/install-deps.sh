#!/usr/bin/env bash
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
    desktop-file-utils appstream dpkg-dev file
)

# The other builds of OpenBLAS. Ambrel's own parallel loops run on libgomp, so OpenBLAS must use
# the same OpenMP runtime: a second thread pool next to it fights it for the cores. Debian lets
# the builds sit side by side and picks one through the alternatives system, where the pthread
# build wins; removing them leaves the OpenMP build the only one to pick.
UNWANTED=(
    libopenblas-pthread-dev libopenblas0-pthread
    libopenblas-serial-dev libopenblas0-serial
)

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
for p in "${PACKAGES[@]}"; do
    if ! installed "$p"; then
        missing+=("$p")
    fi
done
present=()
for p in "${UNWANTED[@]}"; do
    if installed "$p"; then
        present+=("$p")
    fi
done

if [ ${#missing[@]} -ne 0 ] || [ ${#present[@]} -ne 0 ]; then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then
        SUDO="sudo"
    fi
    export DEBIAN_FRONTEND=noninteractive
    if [ ${#missing[@]} -ne 0 ]; then
        echo "Installing: ${missing[*]}" >&2
        $SUDO apt-get update -qq
    fi
    if [ ${#present[@]} -ne 0 ]; then
        echo "Removing: ${present[*]}" >&2
    fi
    # One transaction: a trailing '-' removes a package, so the switch never leaves the machine
    # without an OpenBLAS.
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" "${present[@]/%/-}" >/dev/null
fi

# The library programs load must be the OpenMP build, also when someone set the alternative by hand.
blas=$(/sbin/ldconfig -p | awk '$1 == "libopenblas.so.0" { print $NF; exit }')
if [ -z "$blas" ] || [[ "$(readlink -f "$blas")" != */openblas-openmp/* ]]; then
    echo "libopenblas.so.0 is ${blas:-missing} -> $(readlink -f "${blas:-/dev/null}"), not the OpenMP build;" \
        "see update-alternatives --config libopenblas.so.0-$(gcc -print-multiarch)" >&2
    exit 1
fi
