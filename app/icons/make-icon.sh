#!/usr/bin/env bash
# Draws the application icon, an open book with a page number, into textbook-pages.png.
# Needs ImageMagick; run it again after changing the drawing and commit both files.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
convert -size 256x256 xc:none \
    -fill '#2f6fb3' -draw 'roundrectangle 8,8 247,247 36,36' \
    -fill '#ffffff' -draw 'path "M 128,70 C 100,56 62,54 30,62 L 30,206 C 62,198 100,200 128,214 Z"' \
    -fill '#f3f3ee' -draw 'path "M 128,70 C 156,56 194,54 226,62 L 226,206 C 194,198 156,200 128,214 Z"' \
    -stroke '#1d4a7a' -strokewidth 4 -draw 'line 128,70 128,214' \
    -stroke '#9bb3cc' -strokewidth 6 \
    -draw 'line 48,92 108,86' -draw 'line 48,114 108,108' \
    -draw 'line 48,136 108,130' -draw 'line 48,158 108,152' \
    -stroke none -fill '#e8553d' -draw 'circle 177,136 177,170' \
    -fill '#ffffff' -font DejaVu-Sans-Bold -pointsize 50 -gravity center \
    -draw 'text 49,6 "1"' \
    -strip PNG32:textbook-pages.png
