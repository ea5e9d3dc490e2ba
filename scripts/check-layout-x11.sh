#!/usr/bin/env bash
# Checks under a real X server (Xvfb with the openbox window manager) that the main window
# comes back as the user left it: moved and resized, closed, started again at the same
# place and size; maximised and restored; every stored layout value unchanged by a start
# and close; a placement beyond the screen pulled back onto it.
#   bash scripts/check-layout-x11.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
program="$build/src/brevant-pro"
[ -x "$program" ] || { echo "Build the program first: $program is missing" >&2; exit 2; }

need=()
for tool in Xvfb:xvfb openbox:openbox xdotool:xdotool wmctrl:wmctrl xwininfo:x11-utils; do
    command -v "${tool%%:*}" >/dev/null || need+=("${tool##*:}")
done
if [ ${#need[@]} -gt 0 ]; then
    sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

home="$(mktemp -d)"
export DISPLAY=:97 HOME="$home" XDG_CONFIG_HOME="$home/.config"
Xvfb "$DISPLAY" -screen 0 1600x1000x24 >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$home"' EXIT
sleep 1
openbox >/dev/null 2>&1 &
sleep 1
conf="$XDG_CONFIG_HOME/Tollmark/Brevant Professional.conf"
failures=0

start() {
    "$program" >/dev/null 2>&1 &
    for _ in $(seq 50); do
        wizard=$(xdotool search --name "Disk Selection Wizard" 2>/dev/null | head -1 || true)
        [ -n "$wizard" ] && break
        sleep 0.2
    done
    [ -n "$wizard" ] && xdotool windowactivate --sync "$wizard" key Escape
    sleep 0.5
    main=$(xdotool search --name "^Brevant Professional" | head -1)
}
stop() {
    wmctrl -c "Brevant Professional"
    while pgrep -f "$program" >/dev/null; do sleep 0.2; done
}
geometry() { xwininfo -id "$main" | awk '/Absolute upper-left X|Absolute upper-left Y|Width:|Height:/ {printf "%s ", $NF}'; }
expect() {
    if [ "$2" = "$3" ]; then echo "ok   $1: $2"; else echo "FAIL $1: expected $2, got $3"; failures=$((failures + 1)); fi
}

start
xdotool windowsize --sync "$main" 1100 700
xdotool windowmove --sync "$main" 200 150
sleep 0.5
moved="$(geometry)"
stop
start
expect "place and size after a restart" "$moved" "$(geometry)"
stop

cp "$conf" "$home/before.conf"
start
stop
expect "stored layout after a start and close" "" \
    "$(diff <(grep -v GlobalLastTip "$home/before.conf") <(grep -v GlobalLastTip "$conf") || true)"

start
wmctrl -r "Brevant Professional" -b add,maximized_vert,maximized_horz
sleep 0.5
stop
start
expect "maximised after a restart" "yes" \
    "$(xprop -id "$main" _NET_WM_STATE | grep -q MAXIMIZED_HORZ && echo yes || echo no)"
wmctrl -r "Brevant Professional" -b remove,maximized_vert,maximized_horz
sleep 0.5
expect "normal place and size under the maximised window" "$moved" "$(geometry)"
stop

# The saved left edge 5000 and right edge 6100 lie beyond a 1600-pixel screen.
sed -i 's/"WindowShowCmd"=hex:03/"WindowShowCmd"=hex:01/; s/"WindowNormalPositionLeft"=dword:[0-9a-f]*/"WindowNormalPositionLeft"=dword:00001388/; s/"WindowNormalPositionHeight"=dword:[0-9a-f]*/"WindowNormalPositionHeight"=dword:000017d4/' "$conf"
start
left=$(xwininfo -id "$main" | awk '/Absolute upper-left X/ {print $NF}')
expect "an off-screen placement pulled back" "yes" "$([ "$left" -ge 0 ] && [ "$left" -lt 1600 ] && echo yes || echo no)"
stop

[ "$failures" -eq 0 ] && echo "All layout checks passed." || { echo "$failures layout check(s) failed." >&2; exit 1; }
