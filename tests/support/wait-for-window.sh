#!/usr/bin/env bash
# Usage: wait-for-window.sh [NAME-PATTERN]
#
# Prints the id of the first visible window on DISPLAY whose name matches
# NAME-PATTERN (default '^qorv', Qorv's own window) once it appears (up to
# 30 s, for a loaded machine), or nothing if none does; exits 0 either way.
pattern=${1:-^qorv}
for _ in $(seq 1 300); do
    window=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1 || true)
    if [ -n "$window" ]; then
        echo "$window"
        exit 0
    fi
    sleep 0.1
done
exit 0
