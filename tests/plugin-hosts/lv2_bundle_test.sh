#!/usr/bin/env bash
# Usage: lv2_bundle_test.sh BUNDLE URI
#
# The built Qorv.lv2 as LV2's own tools read it: every Turtle file parses
# (sordi), lilv finds the plugin under its URI as an instrument with its ports
# (lv2info), and lv2_validate finds no fault beyond the five kinds every bundle
# that Debian's JUCE 7.0.5 writes carries. Any other fault fails the test.
set -euo pipefail
bundle=$1
uri=$2

status=0
fail() { echo "FAIL: $*"; status=1; }

[ -f "$bundle/manifest.ttl" ] || { echo "FAIL: no manifest.ttl in $bundle (is the plugin built?)"; exit 1; }

# lv2_validate skips a file it cannot parse and still reports no errors, so
# each file is parsed on its own first.
for ttl in "$bundle"/*.ttl; do
    if ! out=$(sordi "$ttl" 2>&1 >/dev/null); then
        fail "$(basename "$ttl") is not valid Turtle: $out"
    fi
done

# lilv, as jalv and Ardour use it, with this bundle first on its path and
# LV2's own specifications (the plugin classes' names) after it.
info=$(LV2_PATH=$(dirname "$bundle"):/usr/lib/lv2 lv2info "$uri" 2>&1) || true
echo "$info" | sed -n '1,12p'
field() { sed -n "s/^\t$1: *//p" <<<"$info" | head -n 1; }
[ "$(field Name)" = Qorv ] || fail "lv2info names the plugin '$(field Name)', not Qorv"
[ "$(field Bundle)" = "file://$(realpath "$bundle")/" ] || fail "lilv found the plugin in '$(field Bundle)', not in $bundle"
[ "$(field Class)" = "Instrument Plugin" ] || fail "lv2info gives the class '$(field Class)', not Instrument Plugin"
# Each port as "SYMBOL: TYPE TYPE ...", the types without their namespaces.
ports=$(awk '
    /^\tPort [0-9]+:$/ { if (symbol != "") print symbol ":" types; symbol = types = ""; next }
    /^\t\t[A-Z][A-Za-z ]*:/ { field = $1 }
    field == "Type:" { sub(/.*#/, ""); types = types " " $0 }
    field == "Symbol:" { symbol = $2 }
    END { if (symbol != "") print symbol ":" types }' <<<"$info")
for expected in "audio_out_1 AudioPort OutputPort" "audio_out_2 AudioPort OutputPort" \
    "in AtomPort InputPort" "out AtomPort OutputPort"; do
    read -r symbol kind direction <<<"$expected"
    grep "^$symbol:" <<<"$ports" | grep -w "$kind" | grep -qw "$direction" ||
        fail "no $direction $kind '$symbol' among the ports: $(tr '\n' ';' <<<"$ports")"
done
# Both event ports carry MIDI (lv2info does not show what an atom port supports).
[ "$(grep -c 'midi:MidiEvent' "$bundle/dsp.ttl")" -ge 2 ] || fail "the event ports do not both support MIDI events"
echo "lv2info: $(grep -c $'^\tPort [0-9]*:$' <<<"$info") ports"

# lv2_validate prints each fault as "error: WHAT" and then its subject,
# predicate and object, one a line. One fault becomes one tab-separated line.
validation=$(lv2_validate "$bundle"/*.ttl 2>&1 || true)
summary=$(grep '^Found [0-9]* errors' <<<"$validation" || true)
[ -n "$summary" ] || { echo "$validation"; echo "FAIL: lv2_validate gave no summary"; exit 1; }
echo "lv2_validate: $summary"
faults=$(awk '
    /^error: / { if (what != "") print what "\t" s "\t" p "\t" o; what = substr($0, 8); n = 0; s = p = o = ""; next }
    what != "" && /^       [^ ]/ { sub(/^ +/, ""); n++; if (n == 1) s = $0; else if (n == 2) p = $0; else if (n == 3) o = $0; next }
    /^Found / { if (what != "") print what "\t" s "\t" p "\t" o; what = "" }' <<<"$validation")

lv2=http://lv2plug.in/ns
# The kinds Debian's JUCE 7.0.5 writes into every bundle; anything else is ours.
known_kind() {
    local what=$1 subject=$2 predicate=$3 object=$4
    case "$predicate" in
    "$lv2/lv2core#extensionData") [ "$object" = "$lv2/extensions/ui#noUserResize" ] ;;
    "$lv2/lv2core#optionalFeature") [ "$object" = "$lv2/ext/options#interface" ] ;;
    "$lv2/lv2core#portProperty") [[ "$what" == "Subject not in domain <$lv2/lv2core#Port>" && "$subject" == "$uri:"* ]] ;;
    http://usefulinc.com/ns/doap#maintainer | http://usefulinc.com/ns/doap#release) [ "$subject" = "$uri" ] ;;
    "$uri:Program") true ;;
    *) false ;;
    esac
}
known=0
counted=0
while IFS=$'\t' read -r what subject predicate object; do
    [ -n "$what" ] || continue
    counted=$((counted + 1))
    if known_kind "$what" "$subject" "$predicate" "$object"; then
        known=$((known + 1))
    else
        fail "lv2_validate: $what: $subject $predicate $object"
    fi
done <<<"$faults"
reported=$(awk '{print $2}' <<<"$summary")
[ "$counted" -eq "$reported" ] || fail "lv2_validate reports $reported errors, $counted were read: $validation"
echo "lv2_validate: $known of $counted errors are of the five kinds Debian's JUCE 7.0.5 writes into every bundle"

# A host offers a parameter's scale points as the values to set, so they must span its
# range, first to last (Debian's JUCE writes them normalised, whatever the range).
misplaced=$(awk '
    function check() { if (name != "" && points > 0 && (first != low || last != high)) print name " points " first " to " last ", range " low " to " high }
    /^plug:[A-Za-z]+$/ { check(); name = $1; low = high = ""; points = 0; next }
    /lv2:minimum/ { low = $2 + 0 }
    /lv2:maximum/ { high = $2 + 0 }
    /rdf:value/ { v = $2 + 0; if (points == 0) first = v; last = v; points++ }
    END { check() }' "$bundle/dsp.ttl")
[ -z "$misplaced" ] || fail "scale points that do not span their parameter's range: $(tr '\n' ';' <<<"$misplaced")"
echo "scale points: $(grep -c 'rdf:value' "$bundle/dsp.ttl"), each parameter's spanning its range"

[ "$status" -eq 0 ] && echo "PASS"
exit "$status"
