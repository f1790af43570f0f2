#!/usr/bin/env bash
# Runs a Windows test program (the rest of the command line, which runs it
# through Wine) with the native side of the end-to-end run: a real Apertium
# APy on a free port of 127.0.0.1 and the native qn-bridge in front of it on
# the engine's port 11000 (127.0.0.1 and ::1), with it-en routed to APy's
# Spanish-English pair. Both are stopped when the program ends. Where APy or
# the native qn-bridge is missing, the program runs with QN_BRIDGE_E2E_SKIP
# saying why, and skips.
# Usage: with_native_bridge.sh NATIVE_QN_BRIDGE COMMAND [ARG...]
set -uo pipefail
bridge=$1
shift

for arg in "$@"; do
    # Listing the tests needs no back end.
    [ "$arg" = --gtest_list_tests ] && exec "$@"
done

apy=/usr/bin/apertium-apy
pair=/usr/share/apertium/modes/spa-eng.mode
port=11000
if [ ! -x "$apy" ]; then
    QN_BRIDGE_E2E_SKIP="apertium-apy is not installed (Debian package apertium-apy)" exec "$@"
elif [ ! -f "$pair" ]; then
    QN_BRIDGE_E2E_SKIP="APy's Spanish-English pair is not installed (Debian package apertium-eng-spa)" exec "$@"
elif [ ! -x "$bridge" ]; then
    QN_BRIDGE_E2E_SKIP="the native qn-bridge is not built: $bridge (build the native preset first, or set QN_NATIVE_BRIDGE_EXE)" exec "$@"
fi

work=$(mktemp -d /tmp/qn-bridge-e2e.XXXXXX) || exit 1
apy_pid=""
bridge_pid=""
stop() {
    [ -n "$bridge_pid" ] && kill -TERM "$bridge_pid" 2>/dev/null && wait "$bridge_pid" 2>/dev/null
    [ -n "$apy_pid" ] && kill -TERM "$apy_pid" 2>/dev/null && wait "$apy_pid" 2>/dev/null
    rm -rf "$work"
}
trap stop EXIT
fail() {
    echo "with_native_bridge: $1" >&2
    [ -f "$2" ] && tail -n 20 "$2" >&2
    exit 1
}
# Up to 30 s for a URL to answer 200.
await() {
    local pid=$1 url=$2
    for _ in $(seq 300); do
        curl -sf -o /dev/null "$url" && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# APy listens on every interface and has no option to choose one: its server
# object's bind is given 127.0.0.1.
python=$(head -1 "$apy" | sed 's/^#!//')
apy_port=$("$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$python" -c "
import sys
import tornado.httpserver
from apertium_apy import apy
bind = tornado.httpserver.HTTPServer.bind
tornado.httpserver.HTTPServer.bind = lambda self, port, address=None, *rest, **named: bind(self, port, '127.0.0.1', *rest, **named)
sys.argv[0] = 'apertium-apy'
apy.main()" -p "$apy_port" /usr/share/apertium/modes </dev/null >"$work/apy.log" 2>&1 &
apy_pid=$!
await "$apy_pid" "http://127.0.0.1:$apy_port/listPairs" || fail "APy did not start" "$work/apy.log"

cat >"$work/bridge.json" <<JSON
{
  "listen": {"port": $port, "addresses": ["127.0.0.1", "::1"]},
  "upstreams": {"apy": {"kind": "apertium", "url": "http://127.0.0.1:$apy_port"}},
  "directions": {"it-en": [{"upstream": "apy", "from": "spa", "to": "eng"}]}
}
JSON
"$bridge" --config "$work/bridge.json" </dev/null 2>"$work/bridge.log" &
bridge_pid=$!
await "$bridge_pid" "http://127.0.0.1:$port/status" ||
    fail "the native qn-bridge did not start on port $port" "$work/bridge.log"

"$@"
status=$?
if [ $status -ne 0 ]; then
    echo "with_native_bridge: the bridge's log:" >&2
    tail -n 20 "$work/bridge.log" >&2
fi
exit $status
