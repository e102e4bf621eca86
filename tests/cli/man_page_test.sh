#!/usr/bin/env bash
# The manual page renders without a single warning, and it tells of every
# command and every option the program's own help names.
set -euo pipefail
qorv=$1
page=$2

status=0
fail() { echo "FAIL: $*"; status=1; }

warnings=$(groff -man -ww -z "$page" 2>&1) || fail "groff failed"
[ -z "$warnings" ] || fail "groff warns: $warnings"

for command in list convert ports send capture monitor control restore morph breed similar duplicates record previews voicecheck; do
    grep -q "^\.B.* qorv $command\b\|^\.B qorv $command$" "$page" || fail "the synopsis lacks qorv $command"
    for option in $("$qorv" "$command" --help | grep -o -- '--[a-z]\+' | sort -u); do
        grep -qF -- "$(sed 's/-/\\-/g' <<<"$option")" "$page" || fail "qorv $command --help names $option; the page does not"
    done
done

[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
