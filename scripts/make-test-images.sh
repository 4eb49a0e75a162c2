#!/bin/sh
# Makes the small images the picture tests load (ImageMagick, and Python for
# the PNG files), into tests/data/images.
set -eu
SCRIPTS=$(cd "$(dirname "$0")" && pwd)
OUT=$SCRIPTS/../tests/data/images
mkdir -p "$OUT"
cd "$OUT"
# 32 x 48: a red top half with a white diagonal, a blue bottom half.
convert -size 32x48 xc:blue -fill red -draw 'rectangle 0,0 31,23' -fill white -draw 'line 0,0 31,23' \
    -type TrueColor BMP3:sprite32x48.bmp
# 3 x 2 with six different colours, for the pixel capture.
convert -size 3x2 xc:black -fill '#FF0000' -draw 'point 0,0' -fill '#00FF00' -draw 'point 1,0' \
    -fill '#0000FF' -draw 'point 2,0' -fill '#FFFF00' -draw 'point 0,1' -fill '#00FFFF' -draw 'point 1,1' \
    -fill '#FFFFFF' -draw 'point 2,1' -type TrueColor BMP3:dots3x2.bmp
convert -size 40x30 gradient:orange-purple -quality 90 -strip photo40x30.jpg
convert -size 20x10 xc:green -fill yellow -draw 'rectangle 5,2 14,7' -strip flag20x10.gif
convert -size 640x480 xc:gray -strip big640x480.png
# 24 x 12, yellow top-left quarter on blue: an icon, which the loader does not
# know by its first bytes but the imaging component decodes.
convert -size 24x12 xc:'#2080C0' -fill '#FFD040' -draw 'rectangle 0,0 11,5' -strip icon24x12.ico
# The PNG files, written byte by byte so that every pixel is known.
python3 "$SCRIPTS/make-png-images.py" tests
ls -l
