#!/usr/bin/env bash
# Draws the BrindleX application icon with ImageMagick and writes it at the sizes the program ships.
# The design: a tile in brindle browns (amber ground, darker tiger stripes) carrying a white feed glyph.
# Run from anywhere; the PNGs land in resources/icons/, the 1024-pixel one (for the macOS icon alone) and the
# macOS icon packaging/macos/BrindleX.icns (by make-icns.sh) in packaging/macos/, all committed, so builds need
# neither ImageMagick nor png2icns.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
OUT="$ROOT/resources/icons"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
S=1024

# Ground: a warm diagonal gradient.
convert -size ${S}x${S} -define gradient:direction=NorthWest gradient:'#8a4f17'-'#f2a93c' "$WORK/ground.png"

# Brindle: soft, wavy dark stripes running across the tile.
stripes=()
for i in $(seq -3 9); do
  y=$(( i * 130 ))
  stripes+=(-draw "bezier 0,$((y + 40)) 260,$((y - 60)) 620,$((y + 150)) 1024,$((y - 10))")
done
convert -size ${S}x${S} xc:none -fill none -stroke '#4a2608' -strokewidth 34 "${stripes[@]}" \
  -background none -rotate 24 -gravity center -extent ${S}x${S} -channel A -evaluate multiply 0.55 +channel \
  -blur 0x3 "$WORK/stripes.png"
convert "$WORK/ground.png" "$WORK/stripes.png" -composite "$WORK/pattern.png"

# Rounded tile with a thin dark rim.
convert -size ${S}x${S} xc:none -fill white -draw "roundrectangle 56,56 968,968 190,190" "$WORK/mask.png"
convert "$WORK/pattern.png" "$WORK/mask.png" -alpha off -compose CopyOpacity -composite "$WORK/tile.png"
convert "$WORK/tile.png" -fill none -stroke '#3b1e06' -strokewidth 14 \
  -draw "roundrectangle 63,63 961,961 184,184" "$WORK/tile.png"

# Feed glyph: a dot and two quarter rings, white with a soft shadow. The rings are cut from discs
# (ImageMagick 6 closes stroked arc paths, so arcs cannot simply be stroked).
glyph() {  # $1 colour, $2 offset
  local c="$1" o="$2"
  local cx=$((300 + o)) cy=$((724 + o)) w=48
  convert -size ${S}x${S} xc:black -stroke none \
    -fill white -draw "circle $cx,$cy $((cx + 470 + w)),$cy" \
    -fill black -draw "circle $cx,$cy $((cx + 470 - w)),$cy" \
    -fill white -draw "circle $cx,$cy $((cx + 270 + w)),$cy" \
    -fill black -draw "circle $cx,$cy $((cx + 270 - w)),$cy" \
    -fill black -draw "rectangle 0,0 $((cx - 1)),$S" -draw "rectangle 0,$((cy + 1)) $S,$S" \
    -fill white -draw "circle $cx,$cy $((cx + 78)),$cy" "$WORK/glyph-mask.png"
  convert -size ${S}x${S} xc:"$c" "$WORK/glyph-mask.png" -alpha off -compose CopyOpacity -composite \
    "$WORK/glyph-$o.png"
}
glyph '#2a1403' 14
glyph white 0
convert "$WORK/glyph-14.png" -channel A -evaluate multiply 0.45 +channel -blur 0x10 "$WORK/shadow.png"
convert "$WORK/tile.png" "$WORK/shadow.png" -composite "$WORK/glyph-0.png" -composite \
  "$WORK/mask.png" -alpha on -compose DstIn -composite "$WORK/icon.png"

for size in 16 32 48 64 128 256 512 1024; do
  dest="$OUT/brindlex-$size.png"
  [ "$size" = 1024 ] && dest="$ROOT/packaging/macos/brindlex-1024.png"   # for the macOS icon alone
  convert "$WORK/icon.png" -filter Lanczos -resize ${size}x${size} -depth 8 -strip \
    -define png:exclude-chunks=date,time "$dest"
done
echo "icons written to $OUT and packaging/macos"
"$ROOT/tools/make-icns.sh"
