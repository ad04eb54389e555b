#!/bin/sh
# with_tray_host.sh command [args...]: runs it on a private X server with a notification
# area (trayer; with TOLVA_TRAY_HOST=sni a status-notifier host on the caller's bus).
work=$(mktemp -d) || exit 1
xvfb_pid= tray_pid=
cleanup() {
    for p in $tray_pid $xvfb_pid; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# Waits up to $2 tenths of a second for command $1 to succeed; else shows log $3.
wait_for() {
    n=0
    while ! eval "$1" >/dev/null 2>&1; do
        n=$((n + 1))
        [ "$n" -ge "$2" ] && { echo "with_tray_host: $3 did not start" >&2; cat "$work/$3.log" >&2; exit 1; }
        sleep 0.1
    done
}

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >"$work/Xvfb.log" 2>&1 &
xvfb_pid=$!
wait_for 'grep -q "[0-9]" "$work/display"' 100 Xvfb
export DISPLAY=:$(tr -dc 0-9 <"$work/display") QT_QPA_PLATFORM=xcb

# Tests that restart the tray take its arguments and process id from here.
export TOLVA_TRAY_HOST_ARGS="--edge top --align right --widthtype request --height 32 --SetDockType true --SetPartialStrut true --transparent false"
if [ "${TOLVA_TRAY_HOST:-}" = sni ]; then
    sni_up() {
        dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
            org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
            string:IsStatusNotifierHostRegistered 2>/dev/null | grep -q true
    }
    # It quits now and then, having asked for its own watcher too early: up to three starts.
    for attempt in 1 2 3; do
        gtk-sni-tray-standalone --watcher --top --end -s 32 >"$work/sni.log" 2>&1 &
        tray_pid=$!
        n=0
        while [ "$n" -lt 100 ] && kill -0 "$tray_pid" 2>/dev/null && ! sni_up; do
            n=$((n + 1))
            sleep 0.1
        done
        sni_up && break
        kill "$tray_pid" 2>/dev/null
        wait "$tray_pid" 2>/dev/null
    done
    wait_for sni_up 1 sni
else
    # A session bus nobody answers, so the icon goes to the X tray; with none, D-Bus clients
    # autolaunch one through dbus-launch, which grabs the X server and can stall every window.
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-session-bus"
    # shellcheck disable=SC2086
    trayer $TOLVA_TRAY_HOST_ARGS >"$work/trayer.log" 2>&1 &
    tray_pid=$!
    wait_for 'xdotool search --classname trayer' 100 trayer
fi
export TOLVA_TRAY_HOST_PID=$tray_pid

# Should this script be killed outright, the servers still go.
parent=$$
( while kill -0 "$parent" 2>/dev/null; do sleep 1; done; kill "$tray_pid" "$xvfb_pid" ) >/dev/null 2>&1 &

"$@"
