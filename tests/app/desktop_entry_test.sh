#!/usr/bin/env bash
# Validates the desktop entry. desktop-file-validate exits 0 even on errors it
# calls "fatal in the future", so any message at all fails the check.
set -uo pipefail
entry=$1

out=$(desktop-file-validate "$entry" 2>&1)
status=$?
[ -n "$out" ] && printf '%s\n' "$out"
if [ "$status" -ne 0 ] || [ -n "$out" ]; then
    echo "FAIL: $entry is not a clean desktop entry"
    exit 1
fi
echo "PASS: $entry"
