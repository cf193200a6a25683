#!/usr/bin/env bash
# Installs the program for the current user: the program folder under ~/.local/share, a
# launcher named "Orvane名片管理" in the desktop's menu and the application icon.
# Installing again keeps the cards of an existing Data/db.edb; scripts/uninstall.sh removes it.
# It installs and builds only what the program needs, not the tests.
source "$(dirname "$0")/common.sh"
install_missing run build
build orvane orvane_program_folder

DATA_HOME="${XDG_DATA_HOME:-$HOME/.local/share}"
FOLDER="$DATA_HOME/orvane-cards"
cmake --install "$BUILD" --prefix "$FOLDER"

# The launcher and the icons go where the desktop looks for them.
mkdir -p "$DATA_HOME/applications" "$HOME/.local/bin"
sed -e "s|@PROGRAM@|$FOLDER/orvane|" -e "s|@FOLDER@|$FOLDER|" \
    "$BUILD/launchers/user/orvane-cards.desktop.in" > "$DATA_HOME/applications/orvane-cards.desktop"
mkdir -p "$DATA_HOME/icons/hicolor/scalable/apps"
cp "$FOLDER/share/icons/orvane-cards.svg" "$DATA_HOME/icons/hicolor/scalable/apps/"
for dir in "$FOLDER"/share/icons/*x*; do
    size="$(basename "$dir")"
    mkdir -p "$DATA_HOME/icons/hicolor/$size/apps"
    cp "$dir/orvane-cards.png" "$DATA_HOME/icons/hicolor/$size/apps/"
done
ln -sf "$FOLDER/orvane" "$HOME/.local/bin/orvane-cards"
command -v update-desktop-database >/dev/null && update-desktop-database "$DATA_HOME/applications" || true
command -v gtk-update-icon-cache >/dev/null && gtk-update-icon-cache -q "$DATA_HOME/icons/hicolor" || true
echo "Installed into $FOLDER; launcher: $DATA_HOME/applications/orvane-cards.desktop"
