#!/bin/sh
# Draws the panel's artwork with ImageMagick (convert) and renders the icon
# with librsvg (rsvg-convert). Run once by hand when the artwork changes; the
# generated files are kept in the repository.
set -eu
cd "$(dirname "$0")"

bold=DejaVu-Sans-Bold
plain=DejaVu-Sans

# banner <file> <dark> <light> <accent> [scale]: a 615x72 gradient with the
# product name on the left, drawn at scale times the pixels (2 for screens
# at 200 %, so the banner stays sharp there). The middle stays plain: the
# feature and error labels and the run indicator are drawn over it.
banner() {
    s=${5:-1}
    convert -size "$((72 * s))x$((615 * s))" "gradient:$3-$2" -rotate 90 \
        -stroke "$4" -strokewidth "$s" -draw "line 0,$((69 * s)) $((615 * s - 1)),$((69 * s))" \
        -stroke none -fill white -font "$bold" -pointsize "$((34 * s))" \
        -annotate "+$((14 * s))+$((38 * s))" '5400' \
        -fill white -font "$plain" -pointsize "$((15 * s))" \
        -annotate "+$((16 * s))+$((60 * s))" 'Pulse Generator' \
        -quality 90 "$1"
}

if [ "${1:-}" = "--2x-banners" ]; then
    banner blue_banner@2x.jpg '#0b2a5c' '#2f6fc0' '#9cc4ff' 2
    banner green_banner@2x.jpg '#0d4a2a' '#2f9a5c' '#a8f0c4' 2
    exit 0
fi
banner blue_banner.jpg '#0b2a5c' '#2f6fc0' '#9cc4ff'
banner green_banner.jpg '#0d4a2a' '#2f9a5c' '#a8f0c4'
banner blue_banner@2x.jpg '#0b2a5c' '#2f6fc0' '#9cc4ff' 2
banner green_banner@2x.jpg '#0d4a2a' '#2f9a5c' '#a8f0c4' 2

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

# The application icon: pg5400.svg, hand drawn, is its one source. The window
# icon (pg5400.png, built into the program) and the desktop's fixed sizes are
# rendered from it, so the build needs no drawing tools.
icon() { rsvg-convert -w "$1" -h "$1" -o "$2" pg5400.svg; }
icon 64 pg5400.png
for size in 48 64 128 256; do
    mkdir -p "icons/${size}x$size"
    icon "$size" "icons/${size}x$size/pg5400.png"
done
