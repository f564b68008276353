#!/bin/sh
# Draws the key-cap button's two strips into resources/tvobtn/:
#   bg.png  44 x 85: key caps 22 x 17, enabled column then disabled column,
#           one row per colour; light grey 198,198,198 is transparent.
#   fg.png  40 x 598: key glyphs 20 x 13, white column then embossed grey
#           column, one row per key; pure blue is transparent.
# Run from the repository root: sh tools/pictures/tvobtn.sh
set -e
out=resources/tvobtn
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# ---- Key caps --------------------------------------------------------------
bgc='rgb(198,198,198)'
cap() { # <face colour> <rim colour> <light colour> <file>
  convert +antialias -size 22x17 "xc:$bgc" \
    -fill "$2" -stroke "$2" -draw 'roundrectangle 0,0 21,16 4,4' \
    -fill "$1" -stroke "$1" -draw 'roundrectangle 1,1 20,14 3,3' \
    -stroke "$3" -draw 'line 4,1 17,1' -draw 'line 1,4 1,11' "$4"
}
cap 'rgb(0,0,198)'    'rgb(0,0,99)'    'rgb(82,82,255)'   "$tmp/c0.png"
cap 'rgb(140,0,132)'  'rgb(70,0,66)'   'rgb(214,82,206)'  "$tmp/c1.png"
cap 'rgb(132,115,0)'  'rgb(66,57,0)'   'rgb(214,198,66)'  "$tmp/c2.png"
cap 'rgb(0,132,0)'    'rgb(0,66,0)'    'rgb(82,214,82)'   "$tmp/c3.png"
cap 'rgb(222,16,8)'   'rgb(111,8,4)'   'rgb(255,140,132)' "$tmp/c4.png"
# Disabled: a grey outline with a white shadow.
convert +antialias -size 22x17 "xc:$bgc" -fill none \
  -stroke white -draw 'roundrectangle 1,1 21,16 4,4' \
  -stroke 'rgb(128,128,128)' -draw 'roundrectangle 0,0 20,15 4,4' "$tmp/cd.png"
convert "$tmp/c0.png" "$tmp/c1.png" "$tmp/c2.png" "$tmp/c3.png" "$tmp/c4.png" -append "$tmp/bgl.png"
convert "$tmp/cd.png" "$tmp/cd.png" "$tmp/cd.png" "$tmp/cd.png" "$tmp/cd.png" -append "$tmp/bgr.png"
convert "$tmp/bgl.png" "$tmp/bgr.png" +append +repage -type Palette "PNG8:$out/bg.png"

# ---- Glyphs ----------------------------------------------------------------
blue='rgb(0,0,255)'
font=DejaVu-Sans-Condensed-Bold
text() { # <file> <text> [pointsize] [y offset]
  convert +antialias -size 20x13 "xc:$blue" -fill white -font $font \
    -pointsize "${3:-10}" -gravity center -annotate "+0+${4:-0}" "$2" "$1"
}
draw() { # <file> <draw primitives...>
  f=$1; shift
  convert +antialias -size 20x13 "xc:$blue" -fill white -stroke white "$@" "$f"
}
n=0
next() { f=$(printf '%s/g%02d.png' "$tmp" $n); n=$((n + 1)); }
for l in A B C D E F G H I J K L M N O P R S T U W Z; do next; text "$f" "$l"; done
i=1; while [ $i -le 12 ]; do next; text "$f" "F$i" 9; i=$((i + 1)); done
next; draw "$f" -draw 'line 6,6 17,6' -draw 'polygon 2,6 7,2 7,10'           # Backspace
next; draw "$f" -draw 'line 15,2 15,8' -draw 'line 7,8 15,8' \
  -draw 'polygon 3,8 7,4 7,12'                                                 # Enter
next; text "$f" '+' 13 -1                                                       # Plus
next; draw "$f" -draw 'rectangle 5,5 14,7'                                      # Minus
next; draw "$f" -draw 'line 2,1 2,5' -draw 'line 3,3 15,3' -draw 'polygon 16,3 12,0 12,6' \
  -draw 'line 17,7 17,11' -draw 'line 4,9 16,9' -draw 'polygon 3,9 7,6 7,12'    # Tab
next; text "$f" '*' 14 2                                                        # Asterisk
next; convert +antialias -size 20x13 "xc:$blue" -fill white -stroke white \
  -draw 'line 7,9 16,9' -draw 'polygon 3,9 6,7 6,11' -stroke none \
  -font $font -pointsize 6 -gravity north -annotate +0-1 'ALT' "$f"   # Alt+Backspace
next; text "$f" '1'
next; convert -size 20x13 "xc:$blue" "$f"                                       # blank key
next; convert -size 20x13 "xc:$blue" "$f"                                       # picture instead
next; draw "$f" -draw 'line 13,1 7,11'                                          # Slash
next; convert +antialias -size 20x13 "xc:$blue" -fill white -font $font -pointsize 6 \
  -gravity north -annotate +0-1 'CTRL' -pointsize 8 -annotate +0+4 'C' "$f"    # Ctrl+C

# Disabled glyphs: white one pixel down and right, grey on top.
list_on= list_off=
i=0
while [ $i -lt $n ]; do
  g=$(printf '%s/g%02d.png' "$tmp" $i)
  d=$(printf '%s/d%02d.png' "$tmp" $i)
  convert -size 20x13 "xc:$blue" \( "$g" -roll +1+1 -transparent "$blue" \) -composite \
    \( "$g" -fill 'rgb(128,128,128)' -opaque white -transparent "$blue" \) -composite "$d"
  list_on="$list_on $g"; list_off="$list_off $d"
  i=$((i + 1))
done
convert $list_on -append "$tmp/fgl.png"
convert $list_off -append "$tmp/fgr.png"
convert "$tmp/fgl.png" "$tmp/fgr.png" +append +repage -type Palette -colors 16 "PNG8:$out/fg.png"
