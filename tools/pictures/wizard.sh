#!/usr/bin/env bash
# Draws the wizard's logo (JPEG, 630x190) and the shortcut icon (GIF, 44x39).
# The results are committed under resources/; run again only to redraw them.
set -euo pipefail
out="$(cd "$(dirname "$0")/../../resources" && pwd)"
sans=/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf
serif=/usr/share/fonts/truetype/liberation2/LiberationSerif-BoldItalic.ttf

convert -size 630x190 xc:'#BB1600' \
  -fill '#8A0F00' -draw 'roundrectangle 4,4 625,185 22,22' \
  -fill '#F4F1E8' -draw 'roundrectangle 10,10 619,179 18,18' \
  -fill '#1B3F8C' -draw 'polygon 30,150 80,40 130,150' \
  -fill '#2E64C8' -draw 'polygon 60,150 105,62 150,150' \
  -fill '#FFC21A' -draw 'rectangle 28,150 152,160' \
  -font "$sans" -pointsize 92 -fill '#BB1600' -annotate +170+118 'TAVRO' \
  -font "$sans" -pointsize 40 -fill '#1B3F8C' -annotate +478+118 '2010' \
  -font "$serif" -pointsize 26 -fill '#333333' -annotate +174+160 'Wylicznik kosztorysowy' \
  -quality 92 "$out/logo.jpg"

convert -size 44x39 xc:none \
  -fill '#F4F1E8' -stroke '#1B3F8C' -draw 'roundrectangle 2,2 41,36 5,5' \
  -stroke none -fill '#BB1600' -draw 'rectangle 6,6 37,14' \
  -fill '#1B3F8C' -draw 'polygon 8,33 16,18 24,33' \
  -fill '#2E64C8' -draw 'polygon 16,33 23,22 30,33' \
  -fill '#FFC21A' -draw 'rectangle 7,33 36,34' \
  -font "$sans" -pointsize 9 -fill '#FFFFFF' -annotate +9+13 'TAVRO' \
  "$out/icon.gif"
