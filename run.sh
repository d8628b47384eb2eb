#!/usr/bin/env bash
# Installs what is missing, builds (Release) when needed and starts Ambrel, optionally on a
# description file. Without a display (or before the window exists) it runs ambrel-batch.
set -euo pipefail

file=""
if [ $# -ge 1 ]; then
    file="$(realpath -- "$1")"
fi
cd "$(dirname "$0")"

./scripts/install-deps.sh
if [ ! -f build/build.ninja ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build build -j 2 >/dev/null

if [ -x build/bin/ambrel ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
    if [ -n "$file" ]; then
        exec build/bin/ambrel "$file"
    fi
    exec build/bin/ambrel
fi

if [ -n "$file" ]; then
    echo "run.sh: no display; running ambrel-batch on $file" >&2
    exec build/bin/ambrel-batch "$file"
fi
echo "run.sh: no display; running ambrel-batch on the default description" >&2
exec build/bin/ambrel-batch
