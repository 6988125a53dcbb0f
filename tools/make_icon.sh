#!/usr/bin/env bash
# Draws the program icon (a wave over two arrows: down in teal, up in amber) and writes resources/app.ico.
# The .ico is committed; run this only to change the artwork.
set -euo pipefail
cd "$(dirname "$0")/.."
convert -size 256x256 xc:none \
    -fill '#0F3D5E' -draw 'roundrectangle 8,8 247,247 48,48' \
    -stroke '#7FD1E8' -strokewidth 14 -fill none -draw 'path "M 36,92 Q 82,52 128,92 Q 174,132 220,92"' \
    -stroke none -fill '#2ED3A6' -draw 'polygon 58,120 102,120 102,172 126,172 80,226 34,172 58,172' \
    -fill '#FFB84D' -draw 'polygon 154,226 198,226 198,174 222,174 176,120 130,174 154,174' \
    -define icon:auto-resize=256,64,48,32,24,16 resources/app.ico
