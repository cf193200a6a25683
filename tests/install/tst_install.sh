#!/usr/bin/env bash
# Installs the program for a scratch user, starts it through the launcher's command from
# another working directory, checks that it opened the database beside the program file,
# and installs again over a database holding a card, which must keep it.
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
grep -qx "Name=Orvane名片管理" "$DESKTOP" || fail "launcher name"
grep -q "X-AppVersion=4.0.0.520" "$DESKTOP" || fail "launcher version"
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
printf "PRAGMA key='$PASSWORD';\ninsert into D_B(theDate,BName,theDel) values('2008-03-07','留下','否');\n" |
    sqlcipher "$FOLDER/Data/db.edb" > /dev/null
bash "$SOURCE/scripts/install.sh" > "$HOME/install2.log" 2>&1 || { cat "$HOME/install2.log"; fail "second install"; }
cards="$(printf "PRAGMA key='$PASSWORD';\nselect count(*) from D_B;\n" | sqlcipher "$FOLDER/Data/db.edb" | tail -n 1)"
[ "$cards" = "1" ] || fail "the second install lost the card (count: $cards)"
echo "1 passed, 0 failed"
