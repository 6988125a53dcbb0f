#!/usr/bin/env bash
# A private network lab for traffic that never leaves the machine: two network namespaces joined by a
# veth pair, a local HTTP server (python3 -m http.server) in one serving a generated file, and the
# command given run in the other, where the veth is the only interface besides loopback and carries the
# default route. Everything it made (namespaces, link, server, the Wine session with --wine, its files)
# is removed when it ends, also on failure or interruption. Needs root.
#
#   bash scripts/netlab.sh [--wine] [--router] [--mb N] COMMAND [ARGS...]
#
# --wine  starts a private Xvfb and a Wine session in a prefix of the lab's own (build/wine-lab, or
#         TIDE_PREFIX) inside the namespace first, so that the Wine server and its services (which
#         read the interface list) see the lab's network, and stops them afterwards.
# --mb N  the size of the served file in MB (default 4).
# --router  puts a home router between the two: a router namespace forwards between the server's
#         "internet" (10.77.0.0/24, the router at .2) and a home network (192.168.77.0/24, a bridge,
#         the router at .1) holding the command's namespace (.10) and one more host (.20), which
#         serves the same file. The router runs Debian's miniupnpd, a real UPnP Internet Gateway
#         Device whose counters are its internet interface's, and counts (nftables) the packets the
#         command's namespace sends to its UPnP ports (SSDP 1900/udp, HTTP 5000/tcp).
#
# The command gets TIDE_LAB_URL (the file's address, http://10.77.0.1:8000/blob), TIDE_LAB_SERVER
# (10.77.0.1:8000), TIDE_LAB_BYTES (the file's size) and TIDE_LAB_LINK, a script that changes the
# client's side of the link: `sh "$TIDE_LAB_LINK" unlink|link|down|up` (unlink deletes the veth pair,
# link creates it again with its addresses and route: a new interface with counters at 0), or limits
# the server's sending rate: `sh "$TIDE_LAB_LINK" rate KB_PER_S` (0: no limit). `side-link` adds a
# second link (tl2) to the server's namespace on a network of its own (10.78.0.0/24) without a gateway,
# as a host-only or shared network has: TIDE_LAB_SIDE_SERVER (10.78.0.1:8000) serves the file over it
# once its line is in TIDE_LAB_LOG (below; until then the address is reached over the first link), and
# `side-unlink` deletes it. TIDE_LAB_LOG is a file where the link script writes a line "ACTION STATUS"
# when side-link, side-unlink or an action of the router has finished. With --router the command also
# gets TIDE_LAB_HOME_SERVER (192.168.77.20:8000), and the script has
# `other-fetch` (the other host downloads the file through the router), `router-stop`, `router-start`
# (miniupnpd), `upnp-reset` and `upnp-count` (writes "upnp-count N" with N the packets counted since),
# `standin-start`, `standin-stop` (scripts/lab_router.py in miniupnpd's place, a router that misbehaves on demand, and
# listeners on 192.168.77.10:5000 and 192.168.77.20:5000), `standin-mode normal|glitch|silent|trickle`
# and `impostor-count` ("impostor-count N": the connections those listeners were offered).
# --two-gateways  gives the command's namespace a second link to the server, as if it moved between two
#         networks: "home" (10.77.0.0/24, its gateway's MAC 02:00:00:00:77:01) and "hotspot"
#         (10.78.0.0/24, MAC 02:00:00:00:78:01), the default route via home first. The server's file
#         is then also at TIDE_LAB_ROUTED_SERVER (10.99.0.1:8000), which only the default route
#         reaches, and the link script has `home` and `hotspot` to move the default route.
# The addresses exist only inside the lab's namespaces. Exits with the command's status.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

wine_session=0
router=0
two_gateways=0
mb=4
while [ $# -gt 0 ]; do
    case $1 in
    --wine) wine_session=1; shift ;;
    --router) router=1; shift ;;
    --two-gateways) two_gateways=1; shift ;;
    --mb) mb=$2; shift 2 ;;
    *) break ;;
    esac
done
[ $# -gt 0 ] || { echo "usage: netlab.sh [--wine] [--router] [--mb N] COMMAND [ARGS...]" >&2; exit 2; }
[ "$(id -u)" = 0 ] || { echo "netlab.sh: the network lab needs root" >&2; exit 1; }
((wine_session)) && export TIDE_PREFIX="${TIDE_PREFIX:-$ROOT/build/wine-lab}"

server_ns=tidelab-s$$
client_ns=tidelab-c$$
router_ns=tidelab-r$$
# The description miniupnpd serves from the router namespace, on the lab's home network.
router_description=http://192.168.77.1:5000/rootDesc.xml

# Waits up to 20 s for an address of the lab to answer the client's namespace.
answers_in_lab() {
    local _
    for _ in $(seq 100); do
        ip netns exec "$client_ns" curl -sf -o /dev/null "$1" && return 0
        sleep 0.2
    done
    return 1
}
other_ns=tidelab-o$$
namespaces=("$client_ns" "$server_ns")
((router)) && namespaces+=("$router_ns" "$other_ns")
lab=$(mktemp -d /tmp/tidelab.XXXXXX)
server_pid=
other_pid=
cleanup() {
    trap - EXIT INT TERM
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
    [ -n "$other_pid" ] && kill "$other_pid" 2>/dev/null && wait "$other_pid" 2>/dev/null
    ((wine_session)) && WINEPREFIX=$TIDE_PREFIX "$WINESERVER" -k 2>/dev/null
    # Whatever still runs in the namespaces was started here.
    local ns pid
    for ns in "${namespaces[@]}"; do
        for pid in $(ip netns pids "$ns" 2>/dev/null); do
            kill -9 "$pid" 2>/dev/null
        done
        ip netns del "$ns" 2>/dev/null
    done
    rm -rf "$lab"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The link script: the client's side of its veth pair, by name, from any namespace. Without a router
# the pair joins the client to the server; with one, the client's end is a port of the home bridge.
if ((router)); then
    client_address=192.168.77.10/24 gateway=192.168.77.1
    peer="ip -n $client_ns link add tl0 type veth peer name rp0 netns $router_ns
    ip -n $router_ns link set rp0 master br0 up"
else
    client_address=10.77.0.2/24 gateway=10.77.0.1
    peer="ip -n $client_ns link add tl0 type veth peer name tl1 netns $server_ns
    ip -n $server_ns addr add 10.77.0.1/24 dev tl1
    ip -n $server_ns link set tl1 up"
fi
# Accepts connections on an address and port 5000 and writes one line for each into a file.
cat >"$lab/impostor.py" <<'EOF'
import socket, sys
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind((sys.argv[1], 5000))
s.listen(8)
while True:
    c, _ = s.accept()
    with open(sys.argv[2], "a") as log:
        log.write("connection\n")
    c.close()
EOF
cat >"$lab/link.sh" <<EOF
#!/bin/sh
set -e
case "\$1" in
link)
    $peer
    ip -n $client_ns addr add $client_address dev tl0
    ip -n $client_ns link set tl0 up
    ip -n $client_ns route replace default via $gateway ;;
unlink) ip -n $client_ns link del tl0 ;;
side-link)
    ip -n $client_ns link add tl2 type veth peer name tl3 netns $server_ns
    ip -n $server_ns addr add 10.78.0.1/24 dev tl3
    ip -n $server_ns link set tl3 up
    ip -n $client_ns addr add 10.78.0.2/24 dev tl2
    ip -n $client_ns link set tl2 up
    echo "side-link 0" >>"$lab/log" ;;
side-unlink) # the tests after this one find the lab as it was
    ip -n $client_ns link del tl2
    echo "side-unlink 0" >>"$lab/log" ;;
down) ip -n $client_ns link set tl0 down ;;
up)
    ip -n $client_ns link set tl0 up
    ip -n $client_ns route replace default via $gateway ;; # a link taken down loses its routes
other-fetch)
    status=0
    ip netns exec $other_ns curl -sf -o /dev/null http://10.77.0.1:8000/blob || status=\$?
    echo "other-fetch \$status" >>"$lab/log" ;;
router-stop)
    kill "\$(cat "$lab/miniupnpd.pid")"
    while kill -0 "\$(cat "$lab/miniupnpd.pid")" 2>/dev/null; do sleep 0.1; done
    echo "router-stop 0" >>"$lab/log" ;;
router-start)
    # Its own pid file: the default one in /var/run would outlive the lab and be taken for a running copy.
    ip netns exec $router_ns miniupnpd -f "$lab/miniupnpd.conf" -d -P "$lab/miniupnpd.own.pid" \\
        >>"$lab/miniupnpd.out" 2>&1 </dev/null &
    echo \$! >"$lab/miniupnpd.pid"
    for _ in \$(seq 100); do
        ip netns exec $client_ns curl -sf -o /dev/null $router_description && break
        sleep 0.1
    done
    echo "router-start 0" >>"$lab/log" ;;
standin-start)
    # The stand-in router (scripts/lab_router.py) in miniupnpd's place, and listeners on this PC's own
    # address and on the other home host that count every connection made to them: its SSDP replies
    # name both, and the program must follow neither.
    if [ -s "$lab/miniupnpd.pid" ] && kill -0 "\$(cat "$lab/miniupnpd.pid")" 2>/dev/null; then
        kill "\$(cat "$lab/miniupnpd.pid")"
        while kill -0 "\$(cat "$lab/miniupnpd.pid")" 2>/dev/null; do sleep 0.1; done
    fi
    echo normal >"$lab/router.mode"
    : >"$lab/impostor.log"
    ip netns exec $router_ns python3 "$ROOT/scripts/lab_router.py" "$lab" wan0 192.168.77.1 \
        >>"$lab/standin.out" 2>&1 </dev/null &
    echo \$! >"$lab/standin.pids"
    for ns_host in "$client_ns 192.168.77.10" "$other_ns 192.168.77.20"; do
        set -- \$ns_host
        ip netns exec "\$1" python3 "$lab/impostor.py" "\$2" "$lab/impostor.log" >/dev/null 2>&1 </dev/null &
        echo \$! >>"$lab/standin.pids"
    done
    for _ in \$(seq 100); do
        ip netns exec $client_ns curl -sf -o /dev/null $router_description && break
        sleep 0.1
    done
    echo "standin-start 0" >>"$lab/log" ;;
standin-mode) # normal, glitch, silent or trickle
    echo "\$2" >"$lab/router.mode"
    echo "standin-mode \$2 0" >>"$lab/log" ;;
standin-stop)
    for pid in \$(cat "$lab/standin.pids" 2>/dev/null); do
        kill "\$pid" 2>/dev/null || true
        while kill -0 "\$pid" 2>/dev/null; do sleep 0.1; done
    done
    : >"$lab/standin.pids"
    echo "standin-stop 0" >>"$lab/log" ;;
impostor-count)
    echo "impostor-count \$(wc -l <"$lab/impostor.log")" >>"$lab/log" ;;
upnp-reset)
    ip netns exec $router_ns nft reset counter ip tidelab upnp >/dev/null
    echo "upnp-reset 0" >>"$lab/log" ;;
upnp-count)
    n=\$(ip netns exec $router_ns nft list counter ip tidelab upnp | sed -n 's/.*packets \\([0-9]*\\).*/\\1/p')
    echo "upnp-count \$n" >>"$lab/log" ;;
home) ip -n $client_ns route replace default via 10.77.0.1 ;;
hotspot) ip -n $client_ns route replace default via 10.78.0.1 ;;
rate) # the server's side sends at most \$2 KB/s (0: unlimited), smoothly: no bursts into big buffers
    if [ "\$2" = 0 ]; then
        tc -n $server_ns qdisc del dev tl1 root 2>/dev/null || true
    else
        tc -n $server_ns qdisc replace dev tl1 root tbf rate "\$2"kbps burst 16kb latency 50ms
    fi ;;
*) echo "link.sh: unlink, link, down, up, side-link, side-unlink, rate KB/s or a router action" >&2; exit 2 ;;
esac
EOF

for ns in "${namespaces[@]}"; do
    ip netns add "$ns" || exit 1
done
for ns in "${namespaces[@]}"; do
    # IPv4 only: no router solicitations or neighbour discovery adding bytes of their own.
    ip netns exec "$ns" sysctl -q -w net.ipv6.conf.all.disable_ipv6=1 net.ipv6.conf.default.disable_ipv6=1
    ip -n "$ns" link set lo up
done
if ((router)); then
    # The internet side, the home bridge with the other host, forwarding, and the UPnP packet counter.
    r="ip -n $router_ns"
    ip -n "$server_ns" link add tl1 type veth peer name wan0 netns "$router_ns" &&
        ip -n "$server_ns" addr add 10.77.0.1/24 dev tl1 && ip -n "$server_ns" link set tl1 up &&
        ip -n "$server_ns" route add 192.168.77.0/24 via 10.77.0.2 &&
        $r addr add 10.77.0.2/24 dev wan0 && $r link set wan0 up &&
        $r link add br0 type bridge && $r addr add 192.168.77.1/24 dev br0 && $r link set br0 up &&
        ip -n "$other_ns" link add oh0 type veth peer name ro0 netns "$router_ns" &&
        $r link set ro0 master br0 up &&
        ip -n "$other_ns" addr add 192.168.77.20/24 dev oh0 && ip -n "$other_ns" link set oh0 up &&
        ip -n "$other_ns" route add default via 192.168.77.1 &&
        ip netns exec "$router_ns" sysctl -q -w net.ipv4.ip_forward=1 || exit 1
    ip netns exec "$router_ns" nft -f - <<EOF || exit 1
table ip tidelab {
    counter upnp {}
    chain count {
        type filter hook prerouting priority -300;
        ip saddr 192.168.77.10 udp dport 1900 counter name upnp
        ip saddr 192.168.77.10 tcp dport 5000 counter name upnp
    }
}
EOF
    cat >"$lab/miniupnpd.conf" <<EOF
ext_ifname=wan0
listening_ip=br0
http_port=5000
enable_upnp=yes
enable_natpmp=no
secure_mode=yes
system_uptime=no
friendly_name=Tidemeter lab router
model_name=Lab IGD
serial=LAB0001
uuid=3f6a1c2e-7d4b-4e8a-9c1f-0a2b3c4d5e6f
allow 1024-65535 192.168.77.0/24 1024-65535
deny 0-65535 0.0.0.0/0 0-65535
EOF
fi
sh "$lab/link.sh" link || exit 1
if ((two_gateways)); then
    ip -n "$server_ns" link set tl1 address 02:00:00:00:77:01 &&
        ip -n "$client_ns" link add tl2 type veth peer name tl3 netns "$server_ns" &&
        ip -n "$server_ns" link set tl3 address 02:00:00:00:78:01 &&
        ip -n "$server_ns" addr add 10.78.0.1/24 dev tl3 && ip -n "$server_ns" link set tl3 up &&
        ip -n "$client_ns" addr add 10.78.0.2/24 dev tl2 && ip -n "$client_ns" link set tl2 up &&
        ip -n "$server_ns" addr add 10.99.0.1/32 dev lo || exit 1
    export TIDE_LAB_ROUTED_SERVER=10.99.0.1:8000
fi

mkdir -p "$lab/www"
head -c $((mb * 1024 * 1024)) /dev/urandom >"$lab/www/blob"
ip netns exec "$server_ns" python3 -m http.server 8000 --bind 0.0.0.0 --directory "$lab/www" \
    >/dev/null 2>&1 &
server_pid=$!
export TIDE_LAB_SERVER=10.77.0.1:8000 TIDE_LAB_URL=http://10.77.0.1:8000/blob
export TIDE_LAB_BYTES=$((mb * 1024 * 1024)) TIDE_LAB_LINK="$lab/link.sh" TIDE_LAB_SIDE_SERVER=10.78.0.1:8000
export TIDE_LAB_LOG="$lab/log"
if ((router)); then
    ip netns exec "$other_ns" python3 -m http.server 8000 --bind 192.168.77.20 --directory "$lab/www" \
        >/dev/null 2>&1 &
    other_pid=$!
    export TIDE_LAB_HOME_SERVER=192.168.77.20:8000
    sh "$lab/link.sh" router-start
    ip netns exec "$client_ns" curl -sf -o /dev/null "$router_description" ||
        { echo "netlab.sh: the lab's router does not answer" >&2; cat "$lab/miniupnpd.out" >&2; exit 1; }
    answers_in_lab "http://$TIDE_LAB_HOME_SERVER/blob" || { echo "netlab.sh: the other home host does not answer" >&2; exit 1; }
    : >"$lab/log"
fi
answers_in_lab "$TIDE_LAB_URL" || { echo "netlab.sh: the lab's server does not answer" >&2; exit 1; }

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
