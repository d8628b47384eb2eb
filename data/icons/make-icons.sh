#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the PNG sizes of the application icon from ambrel.svg: ambrel-<size>.png next to it.
# Run it after changing the drawing and commit the PNGs with it. Uses rsvg-convert when present,
# otherwise ImageMagick's convert; the drawing uses flat colours only, so both draw it alike.
# The sizes are those of AMBREL_ICON_SIZES in data/CMakeLists.txt.
set -euo pipefail
cd "$(dirname "$0")"

SIZES=(16 22 24 32 48 64 128 256)
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# One large rendering, scaled down to each size: small sizes keep smooth edges.
if command -v rsvg-convert >/dev/null; then
    rsvg-convert --width 1024 --height 1024 --output "$work/large.png" ambrel.svg
elif command -v convert >/dev/null; then
    convert -background none -density 384 ambrel.svg "$work/large.png"
else
    echo "make-icons.sh: needs rsvg-convert (librsvg2-bin) or convert (imagemagick)" >&2
    exit 1
fi

for size in "${SIZES[@]}"; do
    # -strip and no time chunks: the same drawing gives the same bytes.
    convert "$work/large.png" -filter Lanczos -resize "${size}x${size}" -strip \
        -define png:exclude-chunks=date,time "PNG32:ambrel-${size}.png"
    echo "ambrel-${size}.png"
done
