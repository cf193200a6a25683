#!/usr/bin/env bash
# Builds the program and writes a screenshot of each window to docs/screenshots/, taken from
# the real windows on a virtual display with sample cards.
source "$(dirname "$0")/common.sh"
install_missing run build screen
build
xvfb-run -a -s "-screen 0 1100x720x24" "$BUILD/tools/orvane_screenshots" "$ROOT/docs/screenshots"
