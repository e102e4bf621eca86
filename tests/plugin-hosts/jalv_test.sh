#!/usr/bin/env bash
# Usage: jalv_test.sh BUNDLE URI
#
# The LV2 plugin in jalv, on a JACK server of its own (the dummy driver, under
# a name no other test or user shares): it loads, and the notes sent to its
# MIDI input come out of its MIDI output unchanged, with nothing else there
# (by default the plugin reaches the synthesizer through its own sequencer
# client, never through the host). Every process started here is ended on the
# way out, whatever happens.
set -euo pipefail
bundle=$1
uri=$2

work=$(mktemp -d)
export JACK_DEFAULT_SERVER=qorv-test-$$ JACK_NO_AUDIO_RESERVATION=1
client=qorv-jalv
started=()

stop_all() {
    # The clients first, then the server they are on.
    local pid
    for ((i = ${#started[@]} - 1; i >= 0; i--)); do
        pid=${started[i]}
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 1 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap stop_all EXIT
trap 'exit 143' TERM INT HUP

failed() {
    echo "FAIL: $*"
    for log in "$work"/*.log; do
        echo "--- $(basename "$log")"
        tail -n 20 "$log"
    done
    exit 1
}

# Waits up to $1 seconds for the command after it to succeed.
wait_until() {
    local seconds=$1
    shift
    for _ in $(seq 1 $((seconds * 10))); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}

jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
started+=($!)
wait_until 20 jack_lsp >/dev/null 2>&1 || failed "the JACK server $JACK_DEFAULT_SERVER did not start"

# jalv 1.6.6 reads commands from its standard input and quits at its end: a
# pipe that this script holds open keeps it running.
mkfifo "$work/jalv-input"
exec 3<>"$work/jalv-input"
LV2_PATH=$(dirname "$bundle") jalv -x -n "$client" "$uri" <"$work/jalv-input" 3>&- >"$work/jalv.log" 2>&1 &
started+=($!)
jalv_pid=$!
loaded_or_ended() { jack_lsp | grep -qx "$client:out" || ! kill -0 "$jalv_pid" 2>/dev/null; }
wait_until 60 loaded_or_ended || failed "jalv did not load $uri in 60 s (no port $client:out)"
kill -0 "$jalv_pid" 2>/dev/null || failed "jalv ended without loading $uri"
echo "jalv loaded the plugin; its ports: $(jack_lsp | grep "^$client:" | tr '\n' ' ')"

stdbuf -oL jack_midi_dump qorv-dump >"$work/dump.log" 2>&1 &
started+=($!)
# Middle C, velocity 64, for 8,000 of every 24,000 samples.
jack_midiseq qorv-notes 24000 0 60 8000 >"$work/midiseq.log" 2>&1 &
started+=($!)
connect() { jack_connect "$1" "$2" 2>/dev/null; }
wait_until 20 connect qorv-notes:out "$client:in" || failed "could not connect the notes to $client:in"
wait_until 20 connect "$client:out" qorv-dump:input || failed "could not connect $client:out to the dump"

# The bytes of each message that came out, one message a line.
messages() { awk '{ m = ""; for (i = 2; i <= NF && $i ~ /^[0-9a-f][0-9a-f]$/; i++) m = m (m ? " " : "") $i; if (m) print m }' "$work/dump.log"; }
two_notes() { [ "$(messages | grep -c '^90 3c 40$')" -ge 2 ] && [ "$(messages | grep -c '^80 3c 40$')" -ge 2 ]; }
wait_until 20 two_notes || failed "the notes did not come out of the plugin's MIDI output"
kill -0 "$jalv_pid" 2>/dev/null || failed "jalv ended while playing"

others=$(messages | grep -v '^[89]0 3c 40$' || true)
[ -z "$others" ] || failed "the MIDI output carried more than the notes: $(sort -u <<<"$others" | tr '\n' ';')"
echo "out of the plugin: $(messages | wc -l) messages, all of them the notes sent in (90 3c 40, 80 3c 40)"

# A state as jalv keeps one, with the damaged text.
mkdir -p "$work/damaged"
cat >"$work/damaged/manifest.ttl" <<END
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix pset: <http://lv2plug.in/ns/ext/presets#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .
<state.ttl> a pset:Preset ; lv2:appliesTo <$uri> ; rdfs:seeAlso <state.ttl> .
END
cat >"$work/damaged/state.ttl" <<END
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix pset: <http://lv2plug.in/ns/ext/presets#> .
@prefix state: <http://lv2plug.in/ns/ext/state#> .
<> a pset:Preset ; lv2:appliesTo <$uri> ; state:state [ <$uri:StateString> "-1.ABCDEFGH" ] .
END
damaged_client=qorv-jalv-damaged
mkfifo "$work/damaged-input"
exec 4<>"$work/damaged-input"
LV2_PATH=$(dirname "$bundle") jalv -x -n "$damaged_client" -l "$work/damaged" "$uri" <"$work/damaged-input" 3>&- 4>&- \
    >"$work/jalv-damaged.log" 2>&1 &
started+=($!)
damaged_pid=$!
damaged_loaded() { jack_lsp | grep -qx "$damaged_client:out" || ! kill -0 "$damaged_pid" 2>/dev/null; }
wait_until 60 damaged_loaded || failed "jalv did not load the plugin with the damaged state in 60 s"
sleep 1
kill -0 "$damaged_pid" 2>/dev/null || failed "jalv ended on the damaged state"
echo "jalv loaded the damaged state and runs on"
echo "PASS"
