#!/usr/bin/env bash
# A private network lab for traffic that never leaves the machine: two network namespaces joined by a
# veth pair, a local HTTP server (python3 -m http.server) in one serving a generated file, and the
# command given run in the other, where the veth is the only interface besides loopback and carries the
# default route. Everything it made (namespaces, link, server, the Wine session with --wine, its files)
# is removed when it ends, also on failure or interruption. Needs root.
#
#   bash scripts/netlab.sh [--wine] [--mb N] COMMAND [ARGS...]
#
# --wine  starts a private Xvfb and a Wine session in a prefix of the lab's own (build/wine-lab, or
#         TIDE_PREFIX) inside the namespace first, so that the Wine server and its services (which
#         read the interface list) see the lab's network, and stops them afterwards.
# --mb N  the size of the served file in MB (default 4).
#
# The command gets TIDE_LAB_URL (the file's address, http://10.77.0.1:8000/blob), TIDE_LAB_SERVER
# (10.77.0.1:8000), TIDE_LAB_BYTES (the file's size) and TIDE_LAB_LINK, a script that changes the
# client's side of the link: `sh "$TIDE_LAB_LINK" unlink|link|down|up` (unlink deletes the veth pair,
# link creates it again with its addresses and route: a new interface with counters at 0), or limits
# the server's sending rate: `sh "$TIDE_LAB_LINK" rate KB_PER_S` (0: no limit).
# The addresses exist only inside the two namespaces. Exits with the command's status.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

wine_session=0
mb=4
while [ $# -gt 0 ]; do
    case $1 in
    --wine) wine_session=1; shift ;;
    --mb) mb=$2; shift 2 ;;
    *) break ;;
    esac
done
[ $# -gt 0 ] || { echo "usage: netlab.sh [--wine] [--mb N] COMMAND [ARGS...]" >&2; exit 2; }
[ "$(id -u)" = 0 ] || { echo "netlab.sh: the network lab needs root" >&2; exit 1; }
((wine_session)) && export TIDE_PREFIX="${TIDE_PREFIX:-$ROOT/build/wine-lab}"

server_ns=tidelab-s$$
client_ns=tidelab-c$$
lab=$(mktemp -d /tmp/tidelab.XXXXXX)
server_pid=
cleanup() {
    trap - EXIT INT TERM
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
    ((wine_session)) && WINEPREFIX=$TIDE_PREFIX "$WINESERVER" -k 2>/dev/null
    # Whatever still runs in the namespaces was started here.
    local ns pid
    for ns in "$client_ns" "$server_ns"; do
        for pid in $(ip netns pids "$ns" 2>/dev/null); do
            kill -9 "$pid" 2>/dev/null
        done
        ip netns del "$ns" 2>/dev/null
    done
    rm -rf "$lab"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The link script: the client's side of the veth pair, by name, from either namespace.
cat >"$lab/link.sh" <<EOF
#!/bin/sh
set -e
case "\$1" in
link)
    ip -n $client_ns link add tl0 type veth peer name tl1 netns $server_ns
    ip -n $server_ns addr add 10.77.0.1/24 dev tl1
    ip -n $server_ns link set tl1 up
    ip -n $client_ns addr add 10.77.0.2/24 dev tl0
    ip -n $client_ns link set tl0 up
    ip -n $client_ns route replace default via 10.77.0.1 ;;
unlink) ip -n $client_ns link del tl0 ;;
down) ip -n $client_ns link set tl0 down ;;
up)
    ip -n $client_ns link set tl0 up
    ip -n $client_ns route replace default via 10.77.0.1 ;; # a link taken down loses its routes
rate) # the server's side sends at most \$2 KB/s (0: unlimited), smoothly: no bursts into big buffers
    if [ "\$2" = 0 ]; then
        tc -n $server_ns qdisc del dev tl1 root 2>/dev/null || true
    else
        tc -n $server_ns qdisc replace dev tl1 root tbf rate "\$2"kbps burst 16kb latency 50ms
    fi ;;
*) echo "link.sh: unlink, link, down, up or rate KB/s" >&2; exit 2 ;;
esac
EOF

ip netns add "$server_ns" && ip netns add "$client_ns" || exit 1
for ns in "$server_ns" "$client_ns"; do
    # IPv4 only: no router solicitations or neighbour discovery adding bytes of their own.
    ip netns exec "$ns" sysctl -q -w net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1
    ip -n "$ns" link set lo up
done
sh "$lab/link.sh" link || exit 1

mkdir -p "$lab/www"
head -c $((mb * 1024 * 1024)) /dev/urandom >"$lab/www/blob"
ip netns exec "$server_ns" python3 -m http.server 8000 --bind 0.0.0.0 --directory "$lab/www" \
    >/dev/null 2>&1 &
server_pid=$!
export TIDE_LAB_SERVER=10.77.0.1:8000 TIDE_LAB_URL=http://10.77.0.1:8000/blob
export TIDE_LAB_BYTES=$((mb * 1024 * 1024)) TIDE_LAB_LINK="$lab/link.sh"
for _ in $(seq 100); do
    ip netns exec "$client_ns" curl -sf -o /dev/null "$TIDE_LAB_URL" && break
    sleep 0.2
done
ip netns exec "$client_ns" curl -sf -o /dev/null "$TIDE_LAB_URL" ||
    { echo "netlab.sh: the lab's server does not answer" >&2; exit 1; }

if ((wine_session)); then
    # The prefix is prepared, and Xvfb, the Wine server and its services started, inside the namespace.
    ip netns exec "$client_ns" bash -c '
        source "$0"
        prepare_prefix
        "$WINESERVER" -k 2>/dev/null # a server of this prefix started outside would see no lab
        "$WINESERVER" -w
        start_xvfb || exit 1
        start_wine_session
        "$@"
        status=$?
        "$WINESERVER" -k 2>/dev/null
        stop_xvfb
        exit $status' "$ROOT/scripts/common.sh" "$@"
else
    ip netns exec "$client_ns" "$@"
fi
