#!/bin/sh
# A real Signal K consumer reads Quillmar's stream: the program runs as a
# service on the simulator (HPR sentences: heading, pitch and roll) with its
# browser view on, and the Signal K server (npm's signalk-server, installed by
# scripts/signalk-server-fixture) takes /signalk/v1/stream as one of its
# data connections. Its REST API must then show the vessel's true heading in
# radians and its attitude with roll and pitch, each the value of a sentence
# in Quillmar's record, and a notification of ours.
#
#   tests/e2e/signalk_server.sh BUILD_DIR FIXTURE_DIR
#
# Exit status 77 (skipped) when the fixture could not install the server.
#
# Running signalk-server offline, as here (learnt from its source, version
# 2.23.0; bin/signalk-server, dist/config, dist/index.js, @signalk/streams):
# - SIGNALK_NODE_CONFIG_DIR: a config folder of its own, holding
#   settings.json (it adds package.json and serverState/ there itself);
#   PORT: the HTTP port. It listens on every interface: no setting binds it
#   to one, so only a free port of this machine's is given.
# - SIGNALK_DISABLE_SERVER_UPDATES=1: no look-up of a newer version on npm.
# - settings.json: "mdns": false (no announcing, no discovery), "ssl": false,
#   "interfaces" switching off the app store, plugins, webapps, the NMEA and
#   Signal K TCP servers, the playground, log files and WASM; no "security"
#   (and no SECURITYSTRATEGY in the environment): security off. It says it
#   cannot read security.json, which is as it should be.
# - The data connection: a pipedProvider with one pipe element,
#   {"type":"providers/simple","options":{"type":"SignalK","subOptions":
#   {"type":"ws","host":H,"port":P}}}: @signalk/streams' mdns-ws element,
#   which with a host and port connects at once (no mDNS) with
#   @signalk/client to ws://H:P/signalk/v1/stream?subscribe=all, takes a
#   message with name, version and roles as the hello and every message with
#   updates as a delta; it sends "{}" every 10 s as a keepalive. A delta's
#   context "vessels.self" becomes the server's own vessel.
set -eu
build=$1
fixture=$2
here=$(cd "$(dirname "$0")" && pwd)
if [ -f "$fixture/unavailable" ] || [ ! -f "$fixture/modules" ]; then
    echo "signalk_server: skipped: $(cat "$fixture/unavailable" 2>/dev/null || echo 'the fixture did not run')"
    exit 77
fi
modules=$(cat "$fixture/modules")
work=$(mktemp -d)
sim=
server=
cleanup() {
    [ -n "$server" ] && { kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; }
    [ -n "$sim" ] && { pkill -TERM -P "$sim" 2>/dev/null || true; kill "$sim" 2>/dev/null || true;
        wait "$sim" 2>/dev/null || true; }
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
fail() {
    echo "signalk_server: $*" >&2
    echo "--- quillmar and the simulator:" >&2; tail -n 30 "$work/sim.log" >&2 || true
    echo "--- signalk-server:" >&2; tail -n 30 "$work/server.log" >&2 || true
    exit 1
}
check() { node "$here/signalk_server_check.js" "$@"; }
# Two free ports of the loopback, from the system.
ports=$(node -e '
const net = require("net");
const a = net.createServer().listen(0, "127.0.0.1", () => {
    const b = net.createServer().listen(0, "127.0.0.1", () => {
        console.log(a.address().port, b.address().port);
        a.close(); b.close();
    });
});')
web=${ports% *}
sk=${ports#* }

export HOME="$work" XDG_CONFIG_HOME="$work/config" QUILLMAR_SETTINGS="$work/quillmar.ini"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM SECURITYSTRATEGY
mkdir -p "$work/rec" "$work/signalk"
printf '[General]\nVesselName=e2e\n' >"$QUILLMAR_SETTINGS"
"$build/quillmar-sim" --rate 10 --n-every 0 --sentences hpr \
    --run-app "$build/quillmar" --headless --record-folder "$work/rec" --web "127.0.0.1:$web" \
    >"$work/sim.log" 2>&1 &
sim=$!
check wait "http://127.0.0.1:$web/signalk" 60 || fail "Quillmar's Signal K discovery did not answer"

cat >"$work/signalk/settings.json" <<JSON
{
  "mdns": false,
  "ssl": false,
  "interfaces": {"appstore": false, "plugins": false, "webapps": false, "mfd_webapp": false,
                 "nmea-tcp": false, "tcp": false, "playground": false, "logfiles": false,
                 "wasm": false},
  "pipedProviders": [
    {"id": "quillmar", "enabled": true, "pipeElements": [
      {"type": "providers/simple",
       "options": {"logging": false, "type": "SignalK",
                   "subOptions": {"type": "ws", "host": "127.0.0.1", "port": $web}}}]}
  ]
}
JSON
SIGNALK_NODE_CONFIG_DIR="$work/signalk" SIGNALK_DISABLE_SERVER_UPDATES=1 PORT=$sk \
    node "$modules/signalk-server/bin/signalk-server" >"$work/server.log" 2>&1 &
server=$!
check wait "http://127.0.0.1:$sk/signalk" 120 || fail "signalk-server did not start"
check values "http://127.0.0.1:$sk" "$work/rec" quillmar 120 ||
    fail "signalk-server does not show our values"
echo "signalk_server: signalk-server shows the heading and attitude Quillmar recorded"
