#!/usr/bin/env bash
# Draws the picture the Display control panel shows as this screensaver's
# preview and writes it as a baseline JPEG of 152 x 112 pixels:
#   scripts/make_preview_picture.sh [output]   (default resources/preview.jpg)
# A night scene with a glowing planet above a receding grid and the product's
# name. Drawn at four times the size and scaled down for smooth edges; stars
# come from a fixed pseudo-random sequence, metadata is stripped, so the same
# ImageMagick gives the same bytes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/resources/preview.jpg}
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
[ -f "$font" ] || { echo "make_preview_picture: needs $font (package fonts-dejavu-core)" >&2; exit 1; }
command -v convert >/dev/null || { echo "make_preview_picture: needs ImageMagick's convert" >&2; exit 1; }

W=608 H=448          # drawing size: 4 x 152 by 4 x 112
horizon=292          # where the grid meets the sky
vx=304               # the grid's vanishing point, x

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Sky: deep blue overhead, warming towards the horizon.
convert -size ${W}x${horizon} gradient:'#040826'-'#5a1d66' "$work/sky.png"
convert -size ${W}x$((H - horizon)) gradient:'#1a0630'-'#07020f' "$work/ground.png"
convert "$work/sky.png" "$work/ground.png" -append "$work/scene.png"

# Stars: a linear congruential sequence with a fixed seed, in the sky only.
stars=$(awk -v w=$W -v h=$((horizon - 20)) 'BEGIN {
    s = 20261209
    for (i = 0; i < 70; i++) {
        s = (s * 1103515245 + 12345) % 2147483648; x = int(s / 2147483648 * w)
        s = (s * 1103515245 + 12345) % 2147483648; y = int(s / 2147483648 * h)
        s = (s * 1103515245 + 12345) % 2147483648; r = 1 + int(s / 2147483648 * 3)
        printf "circle %d,%d %d,%d ", x, y, x + r, y
    }
}')
convert "$work/scene.png" -fill '#f4f0ff' -draw "$stars" "$work/scene.png"

# The glow on the horizon behind the planet.
convert -size ${W}x${H} xc:none -fill '#ff7a3c' -draw "ellipse $vx,$horizon 300,46 0,360" -blur 0x28 \
    "$work/glow.png"
convert "$work/scene.png" "$work/glow.png" -compose screen -composite "$work/scene.png"

# The planet: a sphere lit from the upper left, with a ring.
size=190
convert -size $((size * 2))x$((size * 2)) radial-gradient:'#fff1b8'-'#a8235e' \
    -crop ${size}x${size}+$((size / 2 - 34))+$((size / 2 - 34)) +repage "$work/shade.png"
convert -size ${size}x${size} xc:black -fill white -draw "circle $((size / 2)),$((size / 2)) $((size / 2)),4" \
    "$work/disc.png"
convert "$work/shade.png" "$work/disc.png" -alpha off -compose copy_opacity -composite "$work/planet.png"
px=$((vx - size / 2)) py=$((horizon - size + 40))
convert "$work/scene.png" -fill none -stroke '#ffd9a0' -strokewidth 7 \
    -draw "ellipse $vx,$((py + size / 2 + 6)) 150,30 180,360" "$work/scene.png"
convert "$work/scene.png" "$work/planet.png" -geometry +$px+$py -compose over -composite "$work/scene.png"
convert "$work/scene.png" -fill none -stroke '#ffd9a0' -strokewidth 7 \
    -draw "ellipse $vx,$((py + size / 2 + 6)) 150,30 0,180" "$work/scene.png"

# The grid floor: lines to the vanishing point, cross lines closing in towards the horizon.
grid=$(awk -v w=$W -v h=$H -v hz=$horizon -v vx=$vx 'BEGIN {
    for (k = -12; k <= 12; k++) printf "line %d,%d %d,%d ", vx + k * 14, hz, vx + k * 120, h
    for (i = 1; i <= 9; i++) { y = hz + (h - hz) * (i / 9) ^ 2.2; printf "line 0,%d %d,%d ", y, w, y }
}')
convert "$work/scene.png" -stroke '#27e0ff' -strokewidth 3 -fill none -draw "$grid" "$work/scene.png"
convert -size ${W}x${H} xc:none -fill '#07020f' -draw "rectangle 0,$((horizon - 1)) $W,$((horizon + 14))" \
    -blur 0x10 "$work/haze.png"
convert "$work/scene.png" "$work/haze.png" -compose over -composite "$work/scene.png"

# The name, with a soft shadow.
convert "$work/scene.png" -font "$font" -pointsize 64 -gravity north \
    -fill '#00000099' -annotate +4+26 'Sorvane 3D' \
    -fill '#ffffff' -annotate +0+22 'Sorvane 3D' \
    -pointsize 30 -fill '#bfe9ff' -annotate +0+96 'SCREENSAVER' "$work/scene.png"

convert "$work/scene.png" -filter Lanczos -resize 152x112! -strip -interlace none -sampling-factor 1x1 \
    -quality 92 "jpeg:$out"
echo "make_preview_picture: wrote $out ($(stat -c %s "$out") bytes)"
