#!/bin/sh
# Draws the panel's artwork with ImageMagick. Run once by hand when the
# artwork changes; the generated files are kept in the repository.
set -eu
cd "$(dirname "$0")"

bold=DejaVu-Sans-Bold
plain=DejaVu-Sans

# banner <file> <dark> <light> <accent>: a 615x72 gradient with the product
# name on the left. The middle stays plain: the feature and error labels and
# the run indicator are drawn over it.
banner() {
    convert -size 72x615 "gradient:$3-$2" -rotate 90 \
        -stroke "$4" -strokewidth 1 -draw "line 0,69 614,69" \
        -stroke none -fill white -font "$bold" -pointsize 34 -annotate +14+38 '5400' \
        -fill white -font "$plain" -pointsize 15 -annotate +16+60 'Pulse Generator' \
        -quality 90 "$1"
}

banner blue_banner.jpg '#0b2a5c' '#2f6fc0' '#9cc4ff'
banner green_banner.jpg '#0d4a2a' '#2f9a5c' '#a8f0c4'

# The run indicator: one red pulse drawn stage by stage on a transparent
# ground. Frame 0 is empty; frame 5 holds the whole pulse.
stroke="-stroke #e01010 -strokewidth 14 -fill none -draw"
low1="line 16,190 104,190"
rise="line 104,197 104,50"
high="line 97,50 223,50"
fall="line 216,43 216,190"
low2="line 209,190 304,190"
frame() { convert -size 320x240 xc:none "$@"; }
frame f0.png
frame $stroke "$low1" f1.png
frame $stroke "$low1" $stroke "$rise" f2.png
frame $stroke "$low1" $stroke "$rise" $stroke "$high" f3.png
frame $stroke "$low1" $stroke "$rise" $stroke "$high" $stroke "$fall" f4.png
frame $stroke "$low1" $stroke "$rise" $stroke "$high" $stroke "$fall" $stroke "$low2" f5.png
convert -dispose Background -delay 15 -loop 0 f0.png f1.png f2.png f3.png f4.png f5.png \
    -set page 320x240+0+0 run_pulse.gif
rm -f f0.png f1.png f2.png f3.png f4.png f5.png

# The window icon: the same pulse, white on a blue tile.
convert -size 64x64 xc:none -fill '#1f4f96' -draw 'roundrectangle 1,1 62,62 10,10' \
    -stroke white -strokewidth 5 -fill none \
    -draw 'polyline 8,46 22,46 22,18 42,18 42,46 56,46' pg5400.png
