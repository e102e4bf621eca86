#!/usr/bin/env bash
# Run on a virtual X server of its own (DISPLAY): a library of 700,000 patches
# (about 80 MB, more than the 64 MB Qorv once read back) is written by
# `qorv convert`, read back by `qorv list`, added to by `convert`, and loaded
# by the window. Every library Qorv writes is one it reads. The times are
# printed; the speed itself is measured by the core benchmarks.
set -euo pipefail
qorv=$1
wait_for_window=$(cd "$(dirname "$0")/../support" && pwd)/wait-for-window.sh

work=$(mktemp -d)
export XDG_CONFIG_HOME=$work/config
trap 'rm -rf "$work"' EXIT
cd "$work"

status=0
fail() { echo "FAIL: $*"; status=1; }
seconds() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f s", b - a }'; }

# 700,000 patch dumps in one bank, each sound a little different.
perl -e 'for my $i (0 .. 699999) {
    print pack ("C*", 0xF0, 0x41, 0x30, 0x00, $i % 128, $i % 100, 0x20, 0x10, 0x08, 0x00, 0x60,
                0, 0, 0, 0, 0x7F, 0, 0, 0, 0, 0, 0x2A, 0x19, 0xF7) }' >Archive.syx
printf '\xf0\x41\x30\x00\x00\x11\x20\x10\x08\x00\x60\x00\x00\x00\x00\x7f\x00\x00\x00\x00\x00\x2a\x19\xf7' >One.syx

started=$(date +%s.%N)
written=$("$qorv" convert Archive.syx -o Archive.106)
echo "convert: '$written' in $(seconds "$started"), $(stat -c %s Archive.106) bytes"
[ "$written" = "Wrote 700000 patches to Archive.106" ] || fail "convert said '$written'"
[ "$(stat -c %s Archive.106)" -gt $((64 << 20)) ] || fail "the library is not larger than 64 MB"

started=$(date +%s.%N)
listed=$("$qorv" list Archive.106 | wc -l)
echo "list: $listed patches in $(seconds "$started")"
[ "$listed" -eq 700000 ] || fail "list read $listed patches"

started=$(date +%s.%N)
added=$("$qorv" convert One.syx -o Archive.106)
echo "convert into it: '$added' in $(seconds "$started")"
[ "$added" = "Added 1 patch to Archive.106 (700001 in all)" ] || fail "convert into it said '$added'"

# The window loads it as Load Library does, and quits without a question: nothing changed.
started=$(date +%s.%N)
"$qorv" Archive.106 2>"$work/stderr" &
pid=$!
title=""
for _ in $(seq 1 600); do
    window=$(xdotool search --onlyvisible --name '^qorv' 2>/dev/null | head -n 1 || true)
    title=$([ -n "$window" ] && xdotool getwindowname "$window" 2>/dev/null || true)
    [ "$title" = "qorv - Archive" ] && break
    sleep 0.1
done
echo "the window: '$title' after $(seconds "$started")"
[ "$title" = "qorv - Archive" ] || fail "the window did not load the library"
[ -n "$window" ] && xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+q
for _ in $(seq 1 300); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -KILL "$pid" 2>/dev/null && fail "Ctrl+Q did not quit"
wait "$pid" 2>/dev/null || true
if [ -s "$work/stderr" ]; then
    fail "the program wrote to stderr:"
    cat "$work/stderr"
fi

[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
