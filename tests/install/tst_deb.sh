#!/usr/bin/env bash
# Makes the .deb and looks into it: its fields and files, and lintian, which must report no error
# and no warning the package does not override (resources/debian/lintian-overrides says why for
# each). Then, in CI and as root, as it installs into the system and adds a user: installs it
# with apt and starts the program as a normal user through the command on the PATH, on a virtual
# display, which must give that user a copy of the delivered database under
# ~/.local/share/orvane-cards/Data/ and use it; removes the package, which must leave the
# user's cards, and installs it again, which must find them. Elsewhere the install is skipped.
#   tst_deb.sh <source folder> <build folder> <database password>
set -euo pipefail
SOURCE="$1"
BUILD="$2"
PASSWORD="$3"
PROGRAM=/usr/lib/orvane-cards/orvane
fail() { echo "FAIL: $*"; exit 1; }
command -v lintian > /dev/null || fail "lintian is not installed (scripts/packages/test)"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

cpack --config "$BUILD/CPackConfig.cmake" -G DEB -B "$WORK" > "$WORK/cpack.log" 2>&1 ||
    { cat "$WORK/cpack.log"; fail "cpack -G DEB"; }
DEB="$(echo "$WORK"/orvane-cards_*_amd64.deb)"
[ -f "$DEB" ] || fail "no orvane-cards_<version>_amd64.deb"
echo "$(basename "$DEB"): $(stat -c %s "$DEB") bytes"

# Its dependencies: the whole run list (the libraries the program links, found from the program
# file, and the rest, named); none of the test tools.
depends="$(dpkg-deb -f "$DEB" Depends)"
echo "Depends: $depends"
for p in $(sed -e 's/#.*//' "$SOURCE/scripts/packages/run"); do
    [[ ", $depends," == *", $p"[\ ,]* ]] || fail "no dependency on $p"
done
for p in $(sed -e 's/#.*//' "$SOURCE/scripts/packages/test" "$SOURCE/scripts/packages/screen"); do
    [[ ", $depends," != *", $p"[\ ,]* ]] || fail "depends on the test tool $p"
done
# The team register needs only the client library; the server is installed on the server.
[[ "$depends" != *postgresql* ]] || fail "depends on a PostgreSQL server package"
[ "$(dpkg-deb -f "$DEB" Package)" = orvane-cards ] || fail "package name"

# Its files: the program folder in /usr/lib, the command on the PATH, the launcher, icons,
# manual page and documentation in /usr/share; nothing in /opt.
contents="$(dpkg-deb -c "$DEB" | awk '{print $6}')"
for file in usr/lib/orvane-cards/orvane usr/lib/orvane-cards/Data/db.edb \
    usr/lib/orvane-cards/名片导入模板.xlsx usr/bin/orvane-cards \
    usr/lib/orvane-cards/models/ch_PP-OCRv4_det.onnx usr/lib/orvane-cards/models/ch_PP-OCRv4_rec.onnx \
    usr/lib/orvane-cards/models/ppocr_keys_v1.txt \
    usr/share/applications/orvane-cards.desktop \
    usr/share/icons/hicolor/scalable/apps/orvane-cards.svg \
    usr/share/icons/hicolor/48x48/apps/orvane-cards.png \
    usr/share/man/man1/orvane-cards.1.gz \
    usr/share/doc/orvane-cards/copyright usr/share/doc/orvane-cards/changelog.Debian.gz; do
    grep -qx "./$file" <<< "$contents" || fail "the .deb has no /$file"
done
! grep -q "^./opt" <<< "$contents" || fail "the .deb installs into /opt"
dpkg-deb -x "$DEB" "$WORK/root"
[ "$(readlink -f "$WORK/root/usr/bin/orvane-cards")" = "$WORK/root$PROGRAM" ] ||
    fail "/usr/bin/orvane-cards does not lead to $PROGRAM"
desktop-file-validate "$WORK/root/usr/share/applications/orvane-cards.desktop" ||
    fail "the launcher does not validate"
version="$(dpkg-deb -f "$DEB" Version)"
zcat "$WORK/root/usr/share/doc/orvane-cards/changelog.Debian.gz" | head -n 1 | grep -qF "orvane-cards ($version)" ||
    fail "the changelog's latest entry is not for $version (resources/debian/changelog)"

# What Debian's own check says.
lintian --fail-on error,warning --display-info --show-overrides "$DEB" ||
    fail "lintian reports errors or warnings"

if [ -z "${CI:-}" ] || [ "$(id -u)" -ne 0 ]; then
    echo "skipped: the install runs in CI, as root"
    exit 77
fi
installed() { dpkg-query -W -f='${Status}' orvane-cards 2>/dev/null | grep -q "install ok installed"; }
if installed; then
    echo "skipped: orvane-cards is installed on this machine and stays untouched"
    exit 77
fi
USER_NAME="orvane-deb-test"
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=300 "$@"; }
# Removes the scratch user with its processes, and the package if a failure left it installed.
remove_user() {
    local pid
    for pid in $(pgrep -u "$USER_NAME" 2>/dev/null); do kill -KILL "$pid" 2>/dev/null || true; done
    if id "$USER_NAME" >/dev/null 2>&1; then userdel -r "$USER_NAME" 2>/dev/null || true; fi
}
remove_user # left by an interrupted run
trap 'remove_user; if installed; then apt_get purge orvane-cards > /dev/null; fi; rm -rf "$WORK"' EXIT

apt_get install "$DEB" > "$WORK/apt.log" 2>&1 || { cat "$WORK/apt.log"; fail "apt install"; }
[ -x "$PROGRAM" ] || fail "not installed in /usr/lib/orvane-cards"

useradd -m "$USER_NAME"
USER_HOME="$(getent passwd "$USER_NAME" | cut -d: -f6)"
CARDS="$USER_HOME/.local/share/orvane-cards/Data/db.edb"
command="$(sed -n 's/^Exec="\(.*\)"$/\1/p' /usr/share/applications/orvane-cards.desktop)"
as_user() { runuser -u "$USER_NAME" -- env -i HOME="$USER_HOME" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"; }
[ "$(as_user bash -c "command -v '$command'")" = /usr/bin/orvane-cards ] ||
    fail "the launcher's command \"$command\" is not /usr/bin/orvane-cards on the user's PATH"
# A card photo read by the new user: the models found in the installed program folder.
convert -size 700x120 xc:white -font /usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf -pointsize 40 -annotate +20+75 "Tel: 010-6552 8888" \
    "$WORK/card.png"
chmod a+r "$WORK/card.png" && chmod a+x "$WORK"
as_user orvane-cards --scan "$WORK/card.png" | grep -qF '"单位电话":"010-65528888"' ||
    fail "orvane-cards --scan does not read a card photo for a new user"
cards() {
    printf "PRAGMA key='$PASSWORD';\nPRAGMA cipher_page_size=4096;\nselect count(*) from D_B;\n" |
        sqlcipher "$CARDS" | tail -n 1
}

# The user starts the launcher's command from elsewhere; the program must open the user's
# cards, never the package's own database.
start_and_find_cards() {
    local opened="" pid
    (cd / && as_user xvfb-run -a "$command") > "$WORK/run.log" 2>&1 &
    for _ in $(seq 100); do
        for pid in $(pgrep -u "$USER_NAME"); do
            [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$PROGRAM" ] || continue
            ls -l "/proc/$pid/fd" 2>/dev/null | grep -q "$CARDS" && opened=yes
        done
        [ -n "$opened" ] && break
        sleep 0.2
    done
    for pid in $(pgrep -u "$USER_NAME"); do
        [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$PROGRAM" ] && kill "$pid"
    done
    wait || true
    [ -n "$opened" ] || { cat "$WORK/run.log"; fail "the program did not open $CARDS"; }
    [ "$(ls /usr/lib/orvane-cards/Data)" = db.edb ] ||
        fail "the program wrote beside the package's database: $(ls /usr/lib/orvane-cards/Data)"
}
start_and_find_cards
[ "$(stat -c %U "$CARDS")" = "$USER_NAME" ] || fail "$CARDS does not belong to the user"

# A card of the user's outlives the package and is found by the next install.
printf "PRAGMA key='$PASSWORD';\nPRAGMA cipher_page_size=4096;\ninsert into D_B(theDate,BName,theDel) values('2008-03-07','留下','否');\n" |
    runuser -u "$USER_NAME" -- sqlcipher "$CARDS" > /dev/null
apt_get remove orvane-cards > "$WORK/apt.log" 2>&1 || { cat "$WORK/apt.log"; fail "apt remove"; }
[ ! -e "$PROGRAM" ] && [ ! -e /usr/bin/orvane-cards ] &&
    [ ! -e /usr/share/applications/orvane-cards.desktop ] || fail "apt remove left the program"
[ "$(cards)" = "1" ] || fail "the user's cards did not outlive the package (count: $(cards))"
apt_get install "$DEB" > "$WORK/apt.log" 2>&1 || { cat "$WORK/apt.log"; fail "apt install again"; }
start_and_find_cards
[ "$(cards)" = "1" ] || fail "the install after the removal lost the user's card (count: $(cards))"
echo "1 passed, 0 failed"
