#!/usr/bin/env bash
# Builds the program and writes a screenshot of each window to docs/screenshots/, taken from
# the real windows on a virtual display with sample cards.
source "$(dirname "$0")/common.sh"
install_missing run build screen
build
xvfb-run -a -s "-screen 0 1100x720x24" "$BUILD/tools/orvane_screenshots" "$ROOT/docs/screenshots"
# The main window at twice the scale on a 1920 × 1080 screen.
QT_SCALE_FACTOR=2 xvfb-run -a -s "-screen 0 1920x1080x24" \
    "$BUILD/tools/orvane_screenshots" "$ROOT/docs/screenshots" main-scale2
