#!/usr/bin/env bash
# Draws the program's icon (resources/sorvane.ico): a lit cube floating over a
# night-blue tile, in the sizes Windows asks for. Reproducible: no dates or
# other metadata are written.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The master drawing at 256 x 256.
convert -size 256x256 xc:none \
    \( -size 240x240 gradient:'#2b5fb8'-'#0b1633' \) -geometry +8+8 -composite \
    -fill none -stroke '#7fb2ff' -strokewidth 6 -draw "roundrectangle 11,11 244,244 36,36" \
    -stroke none \
    -fill '#f4c542' -draw "polygon 128,52 204,92 128,132 52,92" \
    -fill '#d9822b' -draw "polygon 52,92 128,132 128,212 52,172" \
    -fill '#a8541c' -draw "polygon 204,92 128,132 128,212 204,172" \
    -fill none -stroke '#fff3c4' -strokewidth 3 -draw "polyline 52,92 128,52 204,92" \
    -strip "$work/master.png"

# Clip the tile's corners so the rounded frame stays transparent outside.
convert -size 256x256 xc:none -fill white -draw "roundrectangle 8,8 247,247 40,40" "$work/mask.png"
convert "$work/master.png" "$work/mask.png" -compose DstIn -composite -strip "$work/icon256.png"

sizes=(16 24 32 48 64 256)
files=()
for size in "${sizes[@]}"; do
    convert "$work/icon256.png" -resize ${size}x${size} -strip "$work/icon$size.png"
    files+=("$work/icon$size.png")
done
convert "${files[@]}" -define png:exclude-chunks=date,time +set date:create +set date:modify \
    "$root/resources/sorvane.ico"
echo "wrote resources/sorvane.ico"
