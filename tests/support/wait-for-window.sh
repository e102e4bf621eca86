#!/usr/bin/env bash
# Usage: wait-for-window.sh
#
# Prints the id of Qorv's visible window on DISPLAY once it appears (up to
# 30 s, for a loaded machine), or nothing if none does; exits 0 either way.
for _ in $(seq 1 300); do
    window=$(xdotool search --onlyvisible --name '^qorv' 2>/dev/null | head -n 1 || true)
    if [ -n "$window" ]; then
        echo "$window"
        exit 0
    fi
    sleep 0.1
done
exit 0
