#!/usr/bin/env bash
# Draws the program icon (a drive with a green arrow bringing a file back) at 256 pixels
# and scales it to the hicolor sizes: packaging/make-icons.sh. Needs ImageMagick; the PNGs
# it writes are committed, so a build does not need it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

convert -size 256x256 gradient:'#f6f8fa-#9aa3ac' "$work/metal.png"
convert -size 256x256 xc:none \
    -fill '#00000038' -stroke none -draw 'roundrectangle 24,100 240,238 24,24' \
    -tile "$work/metal.png" -stroke '#56606a' -strokewidth 6 -draw 'roundrectangle 16,92 232,226 24,24' +tile \
    -stroke none -fill '#3c444c' -draw 'roundrectangle 40,186 150,202 6,6' \
    -fill '#3fbf4a' -draw 'circle 200,194 200,208' \
    "$work/drive.png"
# The arrow: an arc sweeping up and over from the left, its head pointing down into the drive.
convert "$work/drive.png" \
    -fill none -stroke '#1f7a2a' -strokewidth 34 -draw 'arc 50,16 190,156 180,360' \
    -stroke '#3fbf4a' -strokewidth 22 -draw 'arc 50,16 190,156 180,360' \
    -stroke '#1f7a2a' -strokewidth 6 -fill '#3fbf4a' -draw 'polygon 150,82 230,82 190,134' \
    "$work/icon-256.png"

for size in 16 32 48 64 128 256; do
    dir="$here/icons/hicolor/${size}x${size}/apps"
    mkdir -p "$dir"
    convert "$work/icon-256.png" -filter Lanczos -resize ${size}x${size} -strip \
        -define png:exclude-chunks=date,time "PNG32:$dir/brevant-pro.png"
done
