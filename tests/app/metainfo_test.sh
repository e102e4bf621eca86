#!/usr/bin/env bash
# Validates the AppStream description offline (any error, warning or info
# fails; pedantic notes do not) and checks that it tells the same story as the
# desktop entry and the MIME package: the same desktop id, the same command
# and the same file types.
set -uo pipefail
metainfo=$1
entry=$2
mime_package=$3

status=0
fail() { echo "FAIL: $*"; status=1; }

out=$(appstreamcli validate --no-net "$metainfo" 2>&1)
result=$?
printf '%s\n' "$out"
if [ "$result" -ne 0 ] || grep -q '^[EWI]:' <<<"$out"; then
    fail "$metainfo is not a clean AppStream description"
fi

# The values of one XML element, sorted, one a line.
values() { grep -o "<$1[ >][^<]*</$1>" "$2" | sed "s|<$1[^>]*>\(.*\)</$1>|\1|" | sort; }

launchable=$(values launchable "$metainfo")
[ "$launchable" = "$(basename "$entry")" ] || fail "the launchable '$launchable' is not $(basename "$entry")"

command=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
[ "$(values binary "$metainfo")" = "$command" ] || fail "the provided binary is not the entry's command '$command'"

entry_types=$(sed -n 's/^MimeType=//p' "$entry" | tr ';' '\n' | sed '/^$/d' | sort)
defined_types=$(grep -o '<mime-type type="[^"]*"' "$mime_package" | cut -d'"' -f2 | sort)
provided_types=$(values mediatype "$metainfo")
[ -n "$entry_types" ] || fail "the desktop entry names no file types"
[ "$entry_types" = "$defined_types" ] || fail "the entry opens '$(echo $entry_types)' but the MIME package defines '$(echo $defined_types)'"
[ "$entry_types" = "$provided_types" ] || fail "the entry opens '$(echo $entry_types)' but AppStream lists '$(echo $provided_types)'"

[ "$status" -eq 0 ] && echo "PASS: $metainfo"
exit "$status"
