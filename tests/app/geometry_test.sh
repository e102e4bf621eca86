#!/usr/bin/env bash
# Starts Qorv on virtual screens of common laptop and desktop sizes, with the
# "Large" default and with "X-Large" stored, and checks that the window lies
# entirely on the screen at the largest of the four sizes that fits (the one
# then ticked and stored), and that choosing X-Large from the View menu where
# it cannot fit keeps the window on the screen too.
set -euo pipefail
qorv=$1
in_xvfb=$2 # runs a command on a virtual screen of the size given
wait_for_window=$(dirname "$0")/../support/wait-for-window.sh
status=0

# The panel's size at each View size, and the settings value of each.
widths=(728 910 1092 1274)
heights=(480 600 720 840)
scales=(100 125 150 175)

# Prints "x y width height" of the program's window; empty when none appears.
window_geometry() {
    local window=$1
    xwininfo -id "$window" | awk '/Absolute upper-left X:/ {x=$4} /Absolute upper-left Y:/ {y=$4}
                                  /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}'
}

run_case() {
    local screen=$1 stored=$2 pick_xlarge=$3
    local screen_w=${screen%x*} screen_h=${screen#*x}
    local config
    config=$(mktemp -d)
    mkdir -p "$config/org.qorv.Qorv"
    if [ -n "$stored" ]; then
        printf '<?xml version="1.0" encoding="UTF-8"?>\n<PROPERTIES>\n  <VALUE name="SCALE" val="%s"/>\n</PROPERTIES>\n' \
            "$stored" >"$config/org.qorv.Qorv/qorv.cfg"
    fi

    local result
    result=$(XDG_CONFIG_HOME=$config "$in_xvfb" "$screen" bash -c '
        "$1" 2>/dev/null & pid=$!
        window=$("$3")
        [ -n "$window" ] || { echo "none"; kill $pid; exit 0; }
        sleep 0.5
        if [ "$2" = yes ]; then
            # View > X-Large (the third menu), with the mouse on the menu bar and the keys in the
            # menu, once the menu (a window of its own, named "menu") is open.
            for _ in 1 2 3; do
                xdotool mousemove --window "$window" 110 10 click 1
                for _ in $(seq 1 30); do
                    xdotool search --onlyvisible --name "^menu$" >/dev/null 2>&1 && break
                    sleep 0.1
                done
                xdotool search --onlyvisible --name "^menu$" >/dev/null 2>&1 && break
            done
            sleep 0.3
            xdotool key Down Down Down Down Return
            sleep 1
        fi
        echo "$(xwininfo -id "$window" | awk "/Absolute upper-left X:/ {x=\$4} /Absolute upper-left Y:/ {y=\$4} /Width:/ {w=\$2} /Height:/ {h=\$2} END {print x, y, w, h}")"
        xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+q
        for _ in $(seq 1 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
        kill $pid 2>/dev/null || true' _ "$qorv" "$pick_xlarge" "$wait_for_window")

    local stored_after
    stored_after=$(grep -o 'name="SCALE" val="[0-9]*"' "$config/org.qorv.Qorv/qorv.cfg" 2>/dev/null | grep -o '[0-9]*' || echo none)
    rm -rf "$config"

    local label="screen $screen, stored ${stored:-none}${pick_xlarge:+, View > X-Large $pick_xlarge}"
    if [ "$result" = none ]; then
        echo "FAIL: $label: no window"
        status=1
        return
    fi
    read -r x y w h <<<"$result"
    local menu_bar=$((h - heights[0])) expected=0 wanted=2
    [ "$stored" = 175 ] || [ "$pick_xlarge" = yes ] && wanted=3
    # The menu bar's height is the window's less the panel's at the size shown.
    for i in 0 1 2 3; do [ "$w" -eq "${widths[$i]}" ] && menu_bar=$((h - heights[$i])); done
    for i in $(seq 0 "$wanted"); do
        [ "${widths[$i]}" -le "$screen_w" ] && [ $((heights[$i] + menu_bar)) -le "$screen_h" ] && expected=$i
    done

    echo "$label: window at $x,$y, $w x $h; SCALE stored $stored_after"
    { [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le "$screen_w" ] && [ $((y + h)) -le "$screen_h" ]; } ||
        { echo "FAIL: $label: the window leaves the screen"; status=1; }
    [ "$w" -eq "${widths[$expected]}" ] ||
        { echo "FAIL: $label: width $w, expected ${widths[$expected]} (the largest size that fits)"; status=1; }
    [ "$stored_after" = "${scales[$expected]}" ] ||
        { echo "FAIL: $label: SCALE stored as $stored_after, expected ${scales[$expected]}"; status=1; }
}

for screen in 1366x768 1280x720 1920x1080; do
    run_case "$screen" "" ""
    run_case "$screen" 175 ""
done
run_case 1366x768 "" yes
run_case 1920x1080 "" yes

[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
