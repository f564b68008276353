#!/bin/sh
# Draws the message dialog's pictures into resources/okienko/ (16 colours).
# Run from the repository root: sh tools/pictures/okienko.sh
set -e
out=resources/okienko
mkdir -p "$out"
font=DejaVu-Sans-Bold
pal="-colors 16"

# Question mark, 41 x 40: a blue disc with a white question mark.
convert -size 41x40 xc:none -fill '#0000A0' -stroke '#000060' -strokewidth 1 \
  -draw 'circle 20,19 20,1' -fill white -stroke none -font $font -pointsize 28 \
  -gravity center -annotate +0+1 '?' $pal "PNG8:$out/qmark.png"

# Exclamation mark, 39 x 41: a yellow warning triangle with a black mark.
convert -size 39x41 xc:none -fill '#FFD800' -stroke black -strokewidth 2 \
  -draw 'polygon 19,2 37,38 1,38' -fill black -stroke none -font $font -pointsize 22 \
  -gravity center -annotate +0+5 '!' $pal "PNG8:$out/exclam.png"

# Button pictures, 18 x 18.
convert -size 18x18 xc:none -fill none -stroke '#008000' -strokewidth 3 \
  -draw 'polyline 2,9 7,14 16,3' $pal "PNG8:$out/tick.png"
convert -size 18x18 xc:none -fill none -stroke '#C00000' -strokewidth 3 \
  -draw 'line 3,3 15,15' -draw 'line 15,3 3,15' $pal "PNG8:$out/cross.png"
convert -size 18x18 xc:none -fill none -stroke '#008000' -strokewidth 2 \
  -draw 'polyline 0,9 4,13 10,4' -draw 'polyline 6,10 9,13 17,3' $pal "PNG8:$out/ticks.png"
# "No": a no-entry sign, normal and disabled.
convert -size 18x18 xc:none -fill none -stroke '#C00000' -strokewidth 2 \
  -draw 'circle 9,9 9,2' -draw 'line 4,4 14,14' $pal "PNG8:$out/no.png"
convert -size 18x18 xc:none -fill none -stroke '#808080' -strokewidth 2 \
  -draw 'circle 9,9 9,2' -draw 'line 4,4 14,14' $pal "PNG8:$out/no_disabled.png"
