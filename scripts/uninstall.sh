#!/usr/bin/env bash
# Removes what scripts/install.sh installed for the current user: the program folder, the
# launcher, the icons and the command. The cards (Data/db.edb in the program folder) stay, for
# a later install or the .deb to find them; with --purge they go too.
#   uninstall.sh [--purge]
set -euo pipefail
case "${1:-}" in
    "") purge="" ;;
    --purge) purge=yes ;;
    *) echo "usage: $0 [--purge]" >&2; exit 2 ;;
esac

DATA_HOME="${XDG_DATA_HOME:-$HOME/.local/share}"
FOLDER="$DATA_HOME/orvane-cards"
rm -f "$DATA_HOME/applications/orvane-cards.desktop" "$HOME/.local/bin/orvane-cards"
rm -f "$DATA_HOME"/icons/hicolor/*/apps/orvane-cards.png \
    "$DATA_HOME/icons/hicolor/scalable/apps/orvane-cards.svg"
if [ -n "$purge" ]; then
    rm -rf "$FOLDER"
    echo "Removed $FOLDER with its cards"
elif [ -d "$FOLDER" ]; then
    find "$FOLDER" -mindepth 1 -maxdepth 1 ! -name Data -exec rm -rf {} +
    echo "Removed the program; the cards stay in $FOLDER/Data/db.edb"
fi
command -v update-desktop-database >/dev/null && update-desktop-database "$DATA_HOME/applications" || true
command -v gtk-update-icon-cache >/dev/null && gtk-update-icon-cache -q "$DATA_HOME/icons/hicolor" || true
