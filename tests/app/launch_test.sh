#!/usr/bin/env bash
# Run on a virtual X server of its own (DISPLAY): starts Qorv, finds its
# window, checks that the panel fills it at the "Large" magnification
# (1092 x 720 under the menu bar) and that the desktop entry claims the
# window, then quits it with Ctrl+Q and expects a clean exit with the
# settings saved.
set -euo pipefail
qorv=$1
entry=$2

# Without a display the program says so and ends, rather than crashing.
set +e
message=$(env -u DISPLAY XDG_CONFIG_HOME="$(mktemp -d)" "$qorv" 2>&1 >/dev/null)
code=$?
set -e
if [ "$code" -ne 1 ] || [[ "$message" != *"cannot open the X display"* ]]; then
    echo "FAIL: without a display: exit $code, '$message'"
    exit 1
fi
echo "without a display: exit 1, '$message'"

export XDG_CONFIG_HOME
XDG_CONFIG_HOME=$(mktemp -d)
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT

wait_for_window=$(dirname "$0")/../support/wait-for-window.sh

# Returns once the process has ended, or after 30 s (a loaded machine can take
# seconds to write the settings out).
wait_for_exit() {
    for _ in $(seq 1 300); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
}

# This machine has no ALSA sequencer: the program must start all the same and
# say nothing about it on the terminal.
stderr_file=$(mktemp)
"$qorv" 2>"$stderr_file" &
pid=$!

window=$("$wait_for_window")
if [ -z "$window" ]; then
    echo "FAIL: no visible window titled qorv appeared; the program wrote:"
    cat "$stderr_file"
    kill "$pid" 2>/dev/null || true
    exit 1
fi

title=$(xdotool getwindowname "$window")
geometry=$(xwininfo -id "$window")
width=$(awk '/Width:/ {print $2}' <<<"$geometry")
height=$(awk '/Height:/ {print $2}' <<<"$geometry")
menu_bar=$((height - 720))
echo "window '$title' is ${width} x ${height} (menu bar ${menu_bar})"

status=0
[ "$width" -eq 1092 ] || { echo "FAIL: width $width, expected 1092"; status=1; }
{ [ "$menu_bar" -ge 16 ] && [ "$menu_bar" -le 40 ]; } || { echo "FAIL: height $height is not 720 plus a menu bar"; status=1; }
[ "$title" = "qorv - New Library" ] || { echo "FAIL: title '$title', expected 'qorv - New Library'"; status=1; }

# A dock matches the window to its desktop entry (name, icon) by its class.
wm_class=$(xprop -id "$window" WM_CLASS | sed -n 's/.*= "\([^"]*\)", "\([^"]*\)"/\2/p')
startup_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
echo "window class '$wm_class', entry's StartupWMClass '$startup_class'"
[ "$wm_class" = "$startup_class" ] || { echo "FAIL: the desktop entry would not claim the window"; status=1; }

# The panel must reach the window's bottom-right corner: its last pixel is
# panel artwork, not the window's own background.
shot=$(mktemp --suffix=.png)
import -window "$window" "$shot"
corner=$(convert "$shot" -crop 1x1+$((width - 2))+$((height - 2)) -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:)
rm -f "$shot"
echo "bottom-right pixel: $corner"
[ "$corner" != "50,62,68" ] || { echo "FAIL: the bottom-right corner shows the window background"; status=1; }

# Quit with Ctrl+Q, as a user would, and expect a clean exit.
xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers ctrl+q
wait_for_exit "$pid"
if kill -0 "$pid" 2>/dev/null; then
    echo "FAIL: Ctrl+Q did not quit"
    kill -INT "$pid"
    status=1
fi
if ! wait "$pid"; then
    echo "FAIL: qorv did not exit cleanly"
    status=1
fi

# Quitting saves the settings: a first run stores the defaults.
settings=$XDG_CONFIG_HOME/org.qorv.Qorv/qorv.cfg
if [ ! -f "$settings" ]; then
    echo "FAIL: no settings file at $settings"
    status=1
else
    keys=$(grep -o 'name="[A-Z_]*"' "$settings" | tr -d '"' | sed 's/name=//' | tr '\n' ' ')
    echo "settings: $keys"
    expected="MIDI_IN MIDI_OUT MIDI_CONTROLLER MIDI_CHANNEL KEYBOARD_OCTAVE KEYBOARD_KEYS KEYBOARD_MOUSE SCALE SYNC_MANUAL SYNC_CC LAST_LIBRARY RECENT_LIBRARIES CONTROLLER_MAP CONTROLLER_DEFAULT_MAP CONTROLLER_SOFT_TAKEOVER CONTROLLER_THRU PREVIEW_SELECTING PREVIEW_LEVEL_MATCHED ACTIVE_PATCH STORED_PATCH "
    [ "$keys" = "$expected" ] || { echo "FAIL: settings keys '$keys'"; status=1; }
    grep -q 'name="SCALE" val="150"' "$settings" || { echo "FAIL: SCALE is not stored as 150"; status=1; }
fi
# A library given on the command line is opened, as Load Library opens it.
files=$(mktemp -d)
printf '\xf0\x41\x30\x00\x00\x40\x20\x10\x08\x00\x60\x00\x00\x00\x00\x7f\x00\x00\x00\x00\x00\x2a\x19\xf7' >"$files/Warm Pad.syx"
"$qorv" convert "$files/Warm Pad.syx" -o "$files/My Bank.106" >/dev/null
"$qorv" "$files/My Bank.106" 2>>"$stderr_file" &
pid=$!
window=$("$wait_for_window")
title=$([ -n "$window" ] && xdotool getwindowname "$window" || echo "no window")
echo "with a library on the command line: '$title'"
[ "$title" = "qorv - My Bank" ] || { echo "FAIL: title '$title', expected 'qorv - My Bank'"; status=1; }
[ -n "$window" ] && xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+q
wait_for_exit "$pid"
kill "$pid" 2>/dev/null && { echo "FAIL: Ctrl+Q did not quit the second time"; status=1; }
grep -q "My Bank.106" "$XDG_CONFIG_HOME/org.qorv.Qorv/qorv.cfg" ||
    { echo "FAIL: the library is not remembered for the next start"; status=1; }
rm -rf "$files"

if [ -s "$stderr_file" ]; then
    echo "FAIL: the program wrote to stderr:"
    cat "$stderr_file"
    status=1
fi
rm -f "$stderr_file"

[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
