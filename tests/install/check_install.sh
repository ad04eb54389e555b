#!/bin/sh
# check_install.sh BUILD_DIR APP_ID (under dbus-run-session): installs into a temporary
# prefix, checks the tree, the desktop entry and the metainfo, then runs the installed launcher.
set -u
build=$1 app_id=$2
prefix=$(mktemp -d) || exit 1
program=
cleanup() {
    [ -n "$program" ] && kill "$program" 2>/dev/null
    rm -rf "$prefix"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    cat "$prefix/program.log" >&2 2>/dev/null
    exit 1
}
# Waits up to 30 s for command $1 to succeed; else fails with $2.
wait_until() {
    n=0
    until eval "$1"; do
        n=$((n + 1))
        [ $n -ge 300 ] && fail "$2"
        sleep 0.1
    done
}

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install"
cd "$prefix" || exit 1

[ "$(ls lib/tolva | sort | tr '\n' ' ')" = "tolva tolva_ad_browser.so tolva_engine.so Справка.html " ] || fail "program folder: $(ls lib/tolva)"
for size in 16 22 24 32 48 64 128 256; do
    png=share/icons/hicolor/${size}x${size}/apps/tolva.png
    [ "$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print(*struct.unpack(">II", d[16:24]))' "$png")" \
        = "$size $size" ] || fail "$png is not $size x $size"
done
grep -q '<svg' share/icons/hicolor/scalable/apps/tolva.svg || fail "no scalable icon"
entry=share/applications/$app_id.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate"
grep -qx "Exec=$prefix/bin/tolva" "$entry" || fail "Exec: $(grep Exec= "$entry")"
appstreamcli validate --no-net "share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli validate"

# The installed launcher, started from elsewhere: it answers to its desktop entry's
# name, loads the panel's browser and the player's engine from its own folder, and quits
# without a question.
mpris() {
    dbus-send --session --print-reply --dest=org.mpris.MediaPlayer2.tolva /org/mpris/MediaPlayer2 "$@" 2>/dev/null
}
(cd / && exec "$prefix/bin/tolva") >"$prefix/program.log" 2>&1 &
program=$!
wait_until 'mpris org.freedesktop.DBus.Properties.Get string:org.mpris.MediaPlayer2 string:DesktopEntry >entry' \
    "the installed program did not come up"
grep -q "\"$app_id\"" entry || fail "DesktopEntry: $(cat entry)"
wait_until 'grep -q "$prefix/lib/tolva/tolva_ad_browser.so" "/proc/$program/maps"' "the installed browser module was not loaded"
wait_until 'grep -q "$prefix/lib/tolva/tolva_engine.so" "/proc/$program/maps"' "the installed engine was not loaded"
mpris org.mpris.MediaPlayer2.Quit >/dev/null || fail "Quit"
wait_until '! kill -0 "$program" 2>/dev/null' "the program did not quit"
wait "$program" || fail "exit status $?"
program=
[ -f lib/tolva/Tolva.ini ] || fail "no settings file in the program folder"
echo "installed tree, entry and metainfo are fine; the launcher runs the program"
