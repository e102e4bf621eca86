#!/usr/bin/env bash
# Run on a virtual X server of its own (DISPLAY): starts Qorv on settings files
# that make a general XML parser expand entities without end or read
# /dev/zero. Each start must show the window within a second of an ordinary
# start, set the file aside byte for byte as qorv.cfg.unreadable, and write
# fresh settings at Ctrl+Q.
set -euo pipefail
qorv=$1
wait_for_window=$(dirname "$0")/../support/wait-for-window.sh

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Entities that expand into one another, `levels` deep, each ten times the last.
nested_entities() {
    local levels=$1 level i
    printf '<?xml version="1.0"?>\n<!DOCTYPE PROPERTIES [\n<!ENTITY l0 "lol">\n'
    for ((level = 1; level <= levels; level++)); do
        printf '<!ENTITY l%d "' "$level"
        for ((i = 0; i < 10; i++)); do printf '&l%d;' $((level - 1)); done
        printf '">\n'
    done
    printf ']>\n<PROPERTIES><VALUE name="SCALE" val="&l%d;"/></PROPERTIES>\n' "$levels"
}

# Starts Qorv with the given settings file (none: an ordinary first start),
# prints the seconds until its window is up, and quits it with Ctrl+Q.
start_and_quit() {
    local config=$1 started pid window ended
    started=$(date +%s.%N)
    XDG_CONFIG_HOME=$config "$qorv" 2>>"$work/stderr" &
    pid=$!
    window=$("$wait_for_window")
    ended=$(date +%s.%N)
    if [ -z "$window" ]; then
        kill -KILL "$pid" 2>/dev/null || true
        echo "none"
        return
    fi
    xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+q
    for _ in $(seq 1 300); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    awk -v a="$started" -v b="$ended" 'BEGIN { printf "%.2f\n", b - a }'
}

status=0
ordinary=$(start_and_quit "$work/ordinary")
echo "an ordinary start shows the window in $ordinary s"
[ "$ordinary" != none ] || { echo "FAIL: no window on an ordinary start"; exit 1; }

declare -A hostile=(
    [nested]=$(nested_entities 4)
    [deeper]=$(nested_entities 9)
    [dev-zero]='<?xml version="1.0"?><!DOCTYPE PROPERTIES SYSTEM "/dev/zero"><PROPERTIES><VALUE name="SCALE" val="&z;"/></PROPERTIES>'
)
for name in nested deeper dev-zero; do
    config=$work/$name
    settings=$config/org.qorv.Qorv/qorv.cfg
    mkdir -p "$(dirname "$settings")"
    printf '%s\n' "${hostile[$name]}" >"$settings"
    cp "$settings" "$work/$name.original"
    bytes=$(stat -c %s "$settings")

    took=$(start_and_quit "$config")
    echo "$name ($bytes bytes): window in $took s"
    if [ "$took" = none ] || awk -v t="$took" -v o="$ordinary" 'BEGIN { exit !(t > o + 1) }'; then
        echo "FAIL: $name: the window was not up within a second of an ordinary start"
        status=1
    fi
    cmp -s "$config/org.qorv.Qorv/qorv.cfg.unreadable" "$work/$name.original" ||
        { echo "FAIL: $name: not set aside as qorv.cfg.unreadable"; status=1; }
    grep -q 'name="SCALE" val="150"' "$settings" 2>/dev/null ||
        { echo "FAIL: $name: no fresh settings were written at the quit"; status=1; }
done

if [ -s "$work/stderr" ]; then
    echo "FAIL: the program wrote to stderr:"
    cat "$work/stderr"
    status=1
fi
[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
