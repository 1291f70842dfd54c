#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the fixed-size icons from the scalable one (Debian package librsvg2-bin). Run it
# after changing the SVG and commit the pictures: the build itself needs no SVG renderer.
set -euo pipefail
cd "$(dirname "$0")/hicolor"
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" scalable/apps/org.kvorn.KVorn.svg \
    -o "${size}x${size}/apps/org.kvorn.KVorn.png"
done
