#!/usr/bin/env bash
# Installs the program for a scratch user, starts it through the launcher's command from
# another working directory, checks that it opened the database beside the program file,
# installs again over a database holding a card, which must keep it, and uninstalls, which
# must keep it too unless asked to purge. Then checks the launchers of the packages and what
# the .tar.gz carries.
#   tst_install.sh <source folder> <build folder> <database password>
set -euo pipefail
SOURCE="$1"
export ORVANE_BUILD_DIR="$2"
PASSWORD="$3"
export HOME="$(mktemp -d)"
unset XDG_DATA_HOME
trap 'rm -rf "$HOME"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

bash "$SOURCE/scripts/install.sh" > "$HOME/install.log" 2>&1 || { cat "$HOME/install.log"; fail "install.sh"; }
FOLDER="$HOME/.local/share/orvane-cards"
DESKTOP="$HOME/.local/share/applications/orvane-cards.desktop"
[ -x "$FOLDER/orvane" ] || fail "no program file"
[ -f "$FOLDER/Data/db.edb" ] || fail "no Data/db.edb beside the program"
[ -f "$FOLDER/名片导入模板.xlsx" ] || fail "no import template"
[ -f "$FOLDER/qtbase_zh_CN.qm" ] || fail "no Chinese translation of Qt beside the program"
[ -f "$FOLDER/models/ch_PP-OCRv4_rec.onnx" ] || fail "no text models beside the program"
convert -size 700x120 xc:white -font /usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf \
    -pointsize 40 -annotate +20+75 "Tel: 010-6552 8888" "$HOME/card.png"
(cd / && "$FOLDER/orvane" --scan "$HOME/card.png") | grep -qF '"单位电话":"010-65528888"' ||
    fail "the installed program does not read a card photo"
grep -qx "Name=Orvane名片管理" "$DESKTOP" || fail "launcher name"
grep -q "X-AppVersion=4.0.0.520" "$DESKTOP" || fail "launcher version"
desktop-file-validate "$DESKTOP" || fail "the installed launcher does not validate"
[ -f "$HOME/.local/share/icons/hicolor/scalable/apps/orvane-cards.svg" ] || fail "scalable icon"
[ -f "$HOME/.local/share/icons/hicolor/48x48/apps/orvane-cards.png" ] || fail "48 px icon"

# Start the launcher's command from elsewhere; the program holds its database open.
command="$(sed -n 's/^Exec="\(.*\)"$/\1/p' "$DESKTOP")"
cd /
QT_QPA_PLATFORM=offscreen "$command" > "$HOME/run.log" 2>&1 &
pid=$!
found=""
for _ in $(seq 50); do
    if ls -l /proc/$pid/fd 2>/dev/null | grep -q "$FOLDER/Data/db.edb"; then found=yes; break; fi
    sleep 0.2
done
kill $pid 2>/dev/null || true
wait $pid 2>/dev/null || true
[ -n "$found" ] || { cat "$HOME/run.log"; fail "the program did not open $FOLDER/Data/db.edb"; }

# A card entered between two installs survives the second.
printf "PRAGMA key='$PASSWORD';\nPRAGMA cipher_page_size=4096;\ninsert into D_B(theDate,BName,theDel) values('2008-03-07','留下','否');\n" |
    sqlcipher "$FOLDER/Data/db.edb" > /dev/null
bash "$SOURCE/scripts/install.sh" > "$HOME/install2.log" 2>&1 || { cat "$HOME/install2.log"; fail "second install"; }
cards="$(printf "PRAGMA key='$PASSWORD';\nPRAGMA cipher_page_size=4096;\nselect count(*) from D_B;\n" | sqlcipher "$FOLDER/Data/db.edb" | tail -n 1)"
[ "$cards" = "1" ] || fail "the second install lost the card (count: $cards)"

# Uninstalling removes the program and keeps the cards; --purge removes them.
bash "$SOURCE/scripts/uninstall.sh" > /dev/null
[ ! -e "$FOLDER/orvane" ] && [ ! -e "$DESKTOP" ] && [ ! -e "$HOME/.local/bin/orvane-cards" ] ||
    fail "uninstall left the program or its launcher"
[ -z "$(find "$HOME/.local/share/icons" -name 'orvane-cards.*')" ] || fail "uninstall left icons"
[ "$(ls "$FOLDER")" = "Data" ] || fail "uninstall left more than the cards: $(ls "$FOLDER")"
cards="$(printf "PRAGMA key='$PASSWORD';\nPRAGMA cipher_page_size=4096;\nselect count(*) from D_B;\n" | sqlcipher "$FOLDER/Data/db.edb" | tail -n 1)"
[ "$cards" = "1" ] || fail "uninstall lost the card (count: $cards)"
bash "$SOURCE/scripts/uninstall.sh" --purge > /dev/null
[ ! -e "$FOLDER" ] || fail "--purge left $FOLDER"

# The launchers of the .deb and the .tar.gz are finished and valid.
for launcher in system archive; do
    desktop-file-validate "$ORVANE_BUILD_DIR/launchers/$launcher/orvane-cards.desktop" ||
        fail "the $launcher launcher does not validate"
done
cpack --config "$ORVANE_BUILD_DIR/CPackConfig.cmake" -G TGZ -B "$HOME/tgz" > "$HOME/cpack.log" 2>&1 ||
    { cat "$HOME/cpack.log"; fail "cpack -G TGZ"; }
tar -xzf "$HOME"/tgz/orvane-cards-*.tar.gz -C "$HOME/tgz"
for file in orvane Data/db.edb 名片导入模板.xlsx orvane-cards.desktop packages.txt share/icons/orvane-cards.svg; do
    [ -f "$HOME/tgz/orvane-cards/$file" ] || fail "the .tar.gz has no orvane-cards/$file"
done
[ -z "$(find "$HOME/tgz/orvane-cards" -name '*.in')" ] || fail "the .tar.gz carries a template"
grep -qx "Exec=\"/opt/orvane-cards/orvane\"" "$HOME/tgz/orvane-cards/orvane-cards.desktop" ||
    fail "the .tar.gz launcher does not start /opt/orvane-cards/orvane"
grep -qx libqt6widgets6 "$HOME/tgz/orvane-cards/packages.txt" && grep -qx fonts-wqy-microhei "$HOME/tgz/orvane-cards/packages.txt" ||
    fail "packages.txt lacks the runtime packages"
echo "1 passed, 0 failed"
