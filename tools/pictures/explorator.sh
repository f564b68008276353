#!/bin/sh
# Draws the directory chooser's pictures with ImageMagick into
# resources/explorator/: two folder pictures (16x13), one picture per drive
# type (16x16) and the small search animation (animated GIF, 48x40).
# Run from anywhere; the output is committed, so the build does not need this.
set -eu
out="$(cd "$(dirname "$0")/../.." && pwd)/resources/explorator"
mkdir -p "$out"
cd "$out"

# Folders: closed is a plain yellow folder, open has its front flap tilted.
convert -size 16x13 xc:none -stroke '#806000' -fill '#F0D060' \
  -draw 'polygon 0,2 5,2 6,3 15,3 15,12 0,12' \
  -draw 'line 1,4 14,4' PNG32:folder_closed.png
convert -size 16x13 xc:none -stroke '#806000' -fill '#D8B840' \
  -draw 'polygon 0,2 5,2 6,3 13,3 13,12 0,12' \
  -fill '#FFF0A0' -draw 'polygon 3,6 15,6 12,12 0,12' PNG32:folder_open.png

# Drive bodies: a grey box with a green lamp; the types differ in their front.
drive() { # name fill extra-draw
  convert -size 16x16 xc:none -stroke '#404040' -fill "$2" \
    -draw 'rectangle 0,5 15,12' -draw "$3" PNG32:"$1"
}
drive drive_fixed.png '#C0C0C0' 'fill #00C000 stroke none rectangle 12,10 13,11'
drive drive_removable.png '#C0C0C0' 'fill #000000 stroke none rectangle 3,8 12,9'
drive drive_ram.png '#80C080' 'fill #006000 stroke none rectangle 2,13 3,15 rectangle 6,13 7,15 rectangle 10,13 11,15'
convert -size 16x16 xc:none -stroke '#404040' -fill '#E0E0F0' -draw 'circle 8,8 8,1' \
  -fill '#808090' -draw 'circle 8,8 8,6' PNG32:drive_cdrom.png
convert -size 16x16 xc:none -stroke '#404040' -fill '#C0C0C0' -draw 'rectangle 0,2 15,9' \
  -fill '#00C000' -stroke none -draw 'rectangle 12,7 13,8' \
  -stroke '#000080' -draw 'line 8,10 8,13' -draw 'line 2,14 14,14' PNG32:drive_network.png

# Search animation: a magnifier sweeping over a small computer.
frames=""
for x in 6 12 18 24 30 24 18 12; do
  f="frame$x-$(printf '%s' "$frames" | wc -w).gif"
  convert -size 48x40 xc:'#C0C0C0' \
    -stroke '#202020' -fill '#008080' -draw 'rectangle 10,8 38,28' \
    -fill '#A0A0A0' -draw 'rectangle 6,30 42,36' \
    -stroke '#603000' -strokewidth 3 -draw "line $((x + 10)),22 $((x + 16)),30" \
    -strokewidth 2 -stroke '#000000' -fill '#E0F0FF' -draw "circle $((x + 6)),16 $((x + 6)),9" \
    "$f"
  frames="$frames $f"
done
# shellcheck disable=SC2086
convert -delay 12 -loop 0 $frames search.gif
rm -f $frames
ls -l "$out"
