#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program. Without a display it starts it
# on a virtual one, saves a screenshot of the main window to build/screenshot.png and ends it.
source "$(dirname "$0")/common.sh"
install_missing run build
build orvane
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$BUILD/orvane"
fi
install_missing screen
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    "$1/orvane" & pid=$!
    sleep 4
    import -window root "$1/screenshot.png"
    kill $pid 2>/dev/null || true
' _ "$BUILD"
echo "Screenshot: $BUILD/screenshot.png"
