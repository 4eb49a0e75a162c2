#!/bin/sh
# Makes the demo's data files into assets/: the sprite (ImageMagick), the
# tune and the zap (sox, lame). The outputs are committed; run this only to
# change them.
set -eu
ASSETS=$(cd "$(dirname "$0")/.." && pwd)/assets
mkdir -p "$ASSETS/bmp" "$ASSETS/sound"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# The sprite: a little astronaut, 32 x 48, on a night-blue card; nothing
# erases its old images, so a moving sprite smears the card's edge behind it.
convert -size 32x48 xc:'#18284C' \
    -fill '#E0E0E0' -draw 'roundrectangle 7,2 24,19 5,5' \
    -fill '#3060C0' -draw 'roundrectangle 10,6 21,14 3,3' \
    -fill '#A0D0FF' -draw 'rectangle 12,8 15,10' \
    -fill '#E0E0E0' -draw 'roundrectangle 6,20 25,36 3,3' \
    -fill '#C03030' -draw 'rectangle 13,24 18,28' \
    -fill '#FFD040' -draw 'rectangle 8,31 23,32' \
    -fill '#E0E0E0' -draw 'rectangle 2,21 5,32' -draw 'rectangle 26,21 29,32' \
    -fill '#E0E0E0' -draw 'rectangle 8,37 14,44' -draw 'rectangle 17,37 23,44' \
    -fill '#606060' -draw 'rectangle 7,45 15,47' -draw 'rectangle 16,45 24,47' \
    -type TrueColor BMP3:"$ASSETS/bmp/chr01.bmp"

# The sample program's backdrop: a dusk sky over hills, 640 x 460.
mkdir -p "$ASSETS/picture"
convert -size 640x460 gradient:'#1A2A6C'-'#B45A3C' \
    -fill '#0E1A20' -draw 'ellipse 120,470 260,120 180,360' -draw 'ellipse 470,480 300,150 180,360' \
    -fill '#FFF4C0' -draw 'circle 520,90 520,120' \
    -quality 85 -strip "$ASSETS/picture/backdrop.jpg"

# The tune: a rising arpeggio and a short answer, about four seconds.
i=0
for note in C4 E4 G4 C5 G4 E4 F4 A4 C5 F5 E5 D5 C5; do
    length=0.28
    [ "$note" = C5 ] && [ $i -eq 12 ] && length=0.8
    sox -R -n -r 44100 -c 2 "$WORK/n$(printf %02d $i).wav" synth "$length" pluck "$note" fade 0 "$length" 0.05 gain -6
    i=$((i + 1))
done
sox -R "$WORK"/n*.wav "$WORK/tune.wav"
lame --quiet -b 128 "$WORK/tune.wav" "$ASSETS/sound/start.mp3"

# The zap: a falling square sweep, a third of a second.
sox -R -n -r 22050 -c 1 -b 16 "$ASSETS/sound/zapper.wav" synth 0.3 square 2400-200 fade 0 0.3 0.1 gain -8

# The catch game's chime: a short bell-like sine.
mkdir -p "$ASSETS/../examples/catch/sound"
sox -R -n -r 22050 -c 1 -b 16 "$ASSETS/../examples/catch/sound/chime.wav" synth 0.25 sine 1320 fade 0.005 0.25 0.15 gain -10

# The sample's sprite: a ball whose edge fades out (a PNG with alpha).
python3 "$(dirname "$0")/make-png-images.py" assets

ls -l "$ASSETS/bmp" "$ASSETS/sound" "$ASSETS/picture"
