#!/usr/bin/env bash
# Screenshots of the real program's window at the four View sizes, and a
# pixel-by-pixel comparison of two sets of them. Used to show that a change
# of structure leaves the panel looking exactly as it did:
#
#   tools/panel-screenshots.sh take BINARY DIR    # DIR/scale-{100,125,150,175}.png
#   tools/panel-screenshots.sh compare DIR_A DIR_B [--ignore-status]
#
# --ignore-status leaves the STATUS display out of the comparison, for when
# one program says something there at start (for example that this machine
# has no MIDI) and the other does not.
# "take" starts BINARY once per size in its own virtual X server, with fresh
# settings that choose the size, and captures the window as it first appears.
# "compare" prints the number of differing panel pixels per size (the
# window's menu bar is left out) and fails unless every pair is identical.
set -euo pipefail

scales=(100 125 150 175)
in_xvfb=$(dirname "$0")/../tests/support/in-xvfb.sh
wait_for_window=$(dirname "$0")/../tests/support/wait-for-window.sh

take_one() {
    local binary=$1 scale=$2 out=$3
    local config
    config=$(mktemp -d)
    mkdir -p "$config/org.qorv.Qorv"
    cat >"$config/org.qorv.Qorv/qorv.cfg" <<CFG
<?xml version="1.0" encoding="UTF-8"?>

<PROPERTIES>
  <VALUE name="SCALE" val="$scale"/>
</PROPERTIES>
CFG
    XDG_CONFIG_HOME=$config "$in_xvfb" 1920x1200 bash -c '
        "$1" & pid=$!
        window=$("$3")
        sleep 1 # let the first paint settle
        status=0
        if [ -n "$window" ]; then import -window "$window" "$2"; else echo "no window" >&2; status=1; fi
        kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
        exit $status' _ "$binary" "$out" "$wait_for_window"
    rm -rf "$config"
}

case "${1:-}" in
    take)
        [ $# -eq 3 ] || { echo "usage: $0 take BINARY DIR" >&2; exit 2; }
        mkdir -p "$3"
        for scale in "${scales[@]}"; do
            take_one "$(readlink -f "$2")" "$scale" "$3/scale-$scale.png"
            echo "$3/scale-$scale.png: $(identify -format '%w x %h' "$3/scale-$scale.png")"
        done
        ;;
    compare)
        { [ $# -eq 3 ] || { [ $# -eq 4 ] && [ "$4" = --ignore-status ]; }; } ||
            { echo "usage: $0 compare DIR_A DIR_B [--ignore-status]" >&2; exit 2; }
        # The panel only: the window's menu bar (above it) holds the menus, not the panel.
        menu_bar=$(($(identify -format '%h' "$2/scale-100.png") - 480))
        status=0
        for scale in "${scales[@]}"; do
            width=$((728 * scale / 100)) height=$((480 * scale / 100))
            masked=$(mktemp -d)
            for side in a b; do
                [ $side = a ] && source="$2/scale-$scale.png" || source="$3/scale-$scale.png"
                draw=()
                # The STATUS display, 595,20 to 711,36 on the panel.
                [ "${4:-}" = --ignore-status ] &&
                    draw=(-fill black -draw "rectangle $((595 * scale / 100)),$((20 * scale / 100)) $((711 * scale / 100 + 1)),$((36 * scale / 100 + 1))")
                convert "$source" -crop "${width}x${height}+0+${menu_bar}" +repage "${draw[@]}" "$masked/$side.png"
            done
            differing=$(compare -metric AE "$masked/a.png" "$masked/b.png" null: 2>&1 || true)
            rm -rf "$masked"
            echo "scale $scale%: $differing differing pixels"
            [ "$differing" = "0" ] || status=1
        done
        exit $status
        ;;
    *)
        echo "usage: $0 take BINARY DIR | compare DIR_A DIR_B" >&2
        exit 2
        ;;
esac
