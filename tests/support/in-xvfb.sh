#!/usr/bin/env bash
# Usage: in-xvfb.sh WIDTHxHEIGHT COMMAND [ARGUMENT...]
#
# Runs COMMAND with DISPLAY set to a virtual X server of its own, and returns
# COMMAND's exit status only once that server has ended. The server picks a
# free display number itself (-displayfd) and is waited for at the end, so a
# test started right after never connects to a server that is still closing
# down on the number it was given, as back-to-back xvfb-run calls can.
set -euo pipefail
screen=$1
shift

number_file=$(mktemp)
Xvfb -displayfd 3 -nolisten tcp -screen 0 "${screen}x24" 3>"$number_file" 2>/dev/null &
server=$!
stop_server() {
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    rm -f "$number_file"
}
trap stop_server EXIT

# The number is written once the server takes connections.
for _ in $(seq 1 200); do
    [ -s "$number_file" ] && break
    kill -0 "$server" 2>/dev/null || { echo "in-xvfb.sh: Xvfb did not start" >&2; exit 1; }
    sleep 0.05
done
[ -s "$number_file" ] || { echo "in-xvfb.sh: Xvfb gave no display number" >&2; exit 1; }

export DISPLAY=":$(head -n 1 "$number_file")"
set +e
"$@"
status=$?
set -e
exit "$status"
