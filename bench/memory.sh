#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Peak resident memory of ambrel-batch, each case in a process of its own (GNU time's
# "Maximum resident set size"): an empty description, and Initialize of 2000 spheres
# (20 flat 10 x 10 plates stacked 1 cm apart, with "Always calculate charges" on).
# Usage: bench/memory.sh [path/to/ambrel-batch]   (default: build/bin/ambrel-batch)
set -euo pipefail

batch=${1:-build/bin/ambrel-batch}
[ -x /usr/bin/time ] || { echo "memory.sh needs GNU time (Debian package: time)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

: >"$work/empty.bal"
{
    for p in $(seq 0 19); do
        if [ $((p % 2)) -eq 0 ]; then c=A; else c=B; fi
        echo "Qp$p $c 0 0 $p 0 0 0 0.5 1"
    done
    echo ".V A 100"
    echo ".V B -100"
} >"$work/plates2000.bal"

peak_mib() {
    /usr/bin/time -v "$batch" "$@" 2>&1 >/dev/null |
        awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }'
}

empty=$(peak_mib "$work/empty.bal")
plates=$(peak_mib --on always-calculate-charges "$work/plates2000.bal")
echo "peak resident memory, empty description:            $empty MiB"
echo "peak resident memory, Initialize of 2000 spheres:    $plates MiB"
