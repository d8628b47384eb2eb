#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
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
    echo "run.sh: configuring the build in build/" >&2
    # Its output only when it fails.
    if ! log="$(cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release 2>&1)"; then
        echo "$log" >&2
        echo "run.sh: the build could not be configured (see above)" >&2
        exit 1
    fi
fi
# The two programs only (not the tests and benchmarks), with the build's progress and, when it
# fails, the compiler's messages.
echo "run.sh: building ambrel and ambrel-batch (the first build takes a few minutes)" >&2
if ! cmake --build build -j 2 --target ambrel ambrel-batch >&2; then
    echo "run.sh: the build failed (the compiler's messages are above)" >&2
    exit 1
fi

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
