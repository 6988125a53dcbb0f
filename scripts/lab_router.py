#!/usr/bin/env python3
"""A stand-in home router for the network lab (scripts/netlab.sh --router): answers SSDP searches and the
UPnP actions Tidemeter asks, with the router namespace's real WAN counters, and misbehaves on demand.

    python3 scripts/lab_router.py LAB_FOLDER WAN_INTERFACE ADDRESS

It reads its mode from LAB_FOLDER/router.mode at every request:
  normal   answers like a gateway (its SSDP replies name this PC and the other home host first: impostors
           the client must never contact)
  glitch   answers the next totals with 0 once (as miniupnpd does when it cannot read its counters),
           then goes back to normal and writes "glitch-served 0" to LAB_FOLDER/log
  silent   accepts and closes every connection without a word
  trickle  sends its answer one byte every 1.9 s
"""
import os, socket, socketserver, struct, sys, threading, time

lab, wan, address = sys.argv[1], sys.argv[2], sys.argv[3]
home = address.rsplit(".", 1)[0]
UDN = "uuid:5c0e1d2a-3b4c-4d5e-8f90-a1b2c3d4e5f6"
IGD = "urn:schemas-upnp-org:device:InternetGatewayDevice:1"
COMMON = "urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1"
IP_SERVICE = "urn:schemas-upnp-org:service:WANIPConnection:1"
started = time.monotonic()
glitch_lock = threading.Lock()


def mode():
    try:
        with open(os.path.join(lab, "router.mode")) as f:
            return f.read().strip() or "normal"
    except OSError:
        return "normal"


def log(line):
    with open(os.path.join(lab, "log"), "a") as f:
        f.write(line + "\n")


def counters():
    with open("/proc/net/dev") as f:
        for line in f:
            name, _, rest = line.partition(":")
            if name.strip() == wan:
                fields = rest.split()
                return int(fields[0]), int(fields[8])
    return 0, 0


DESCRIPTION = f"""<?xml version="1.0"?>
<root xmlns="urn:schemas-upnp-org:device-1-0"><specVersion><major>1</major><minor>0</minor></specVersion>
<device><deviceType>{IGD}</deviceType><friendlyName>Lab stand-in router</friendlyName>
<manufacturer>Tidemeter lab</manufacturer><modelName>Stand-in</modelName><serialNumber>LABSTANDIN1</serialNumber>
<UDN>{UDN}</UDN><deviceList><device><deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType>
<UDN>uuid:5c0e1d2a-0000-4d5e-8f90-a1b2c3d4e5f6</UDN><serviceList><service><serviceType>{COMMON}</serviceType>
<serviceId>urn:upnp-org:serviceId:WANCommonIFC1</serviceId><controlURL>/ctl/common</controlURL>
<eventSubURL>/evt/common</eventSubURL><SCPDURL>/common.xml</SCPDURL></service></serviceList>
<deviceList><device><deviceType>urn:schemas-upnp-org:device:WANConnectionDevice:1</deviceType>
<UDN>uuid:5c0e1d2a-1111-4d5e-8f90-a1b2c3d4e5f6</UDN><serviceList><service><serviceType>{IP_SERVICE}</serviceType>
<serviceId>urn:upnp-org:serviceId:WANIPConn1</serviceId><controlURL>/ctl/ip</controlURL>
<eventSubURL>/evt/ip</eventSubURL><SCPDURL>/ip.xml</SCPDURL></service></serviceList></device></deviceList>
</device></deviceList></device></root>
"""


def soap(action, service, fields):
    body = "".join(f"<{name}>{value}</{name}>" for name, value in fields)
    return (f'<?xml version="1.0"?>\r\n<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/" '
            f's:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/"><s:Body><u:{action}Response '
            f'xmlns:u="{service}">{body}</u:{action}Response></s:Body></s:Envelope>\r\n')


def answer_for(path, action):
    if path.startswith("/rootDesc.xml"):
        return DESCRIPTION
    received, sent = counters()
    if action in ("GetTotalBytesReceived", "GetTotalBytesSent"):
        with glitch_lock:
            if mode() == "glitch":
                if action == "GetTotalBytesSent":
                    with open(os.path.join(lab, "router.mode"), "w") as f:
                        f.write("normal\n")
                    log("glitch-served 0")
                received = sent = 0
        value = received if action == "GetTotalBytesReceived" else sent
        return soap(action, COMMON, [("New" + action[3:], value)])
    if action == "GetCommonLinkProperties":
        return soap(action, COMMON, [("NewWANAccessType", "Ethernet"), ("NewLayer1UpstreamMaxBitRate", 1000000000),
                                     ("NewLayer1DownstreamMaxBitRate", 1000000000),
                                     ("NewPhysicalLinkStatus", "Up")])
    if action == "GetStatusInfo":
        return soap(action, IP_SERVICE, [("NewConnectionStatus", "Connected"), ("NewLastConnectionError", "ERROR_NONE"),
                                         ("NewUptime", int(time.monotonic() - started))])
    return None


class Http(socketserver.StreamRequestHandler):
    def handle(self):
        self.connection.settimeout(30)
        try:
            while True:
                request = self.rfile.readline(8192)
                if not request:
                    return
                headers = {}
                while True:
                    line = self.rfile.readline(8192)
                    if line in (b"\r\n", b"\n", b""):
                        break
                    name, _, value = line.decode("latin-1").partition(":")
                    headers[name.strip().lower()] = value.strip()
                length = int(headers.get("content-length", "0") or 0)
                if length:
                    self.rfile.read(length)
                current = mode()
                if current == "silent":
                    return
                path = request.split()[1].decode("latin-1") if len(request.split()) > 1 else "/"
                action = headers.get("soapaction", "").strip('"').rpartition("#")[2]
                body = answer_for(path, action)
                if body is None:
                    self.wfile.write(b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")
                    continue
                data = body.encode()
                reply = (f"HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=\"utf-8\"\r\n"
                         f"Content-Length: {len(data)}\r\n\r\n").encode() + data
                if current == "trickle":
                    for i in range(len(reply)):
                        self.wfile.write(reply[i:i + 1])
                        self.wfile.flush()
                        time.sleep(1.9)
                        if mode() != "trickle":
                            return
                    return
                self.wfile.write(reply)
                self.wfile.flush()
        except OSError:
            return


class Server(socketserver.ThreadingTCPServer):
    allow_reuse_address = True
    daemon_threads = True


def ssdp():
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM, socket.IPPROTO_UDP)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("0.0.0.0", 1900))
    s.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP,
                 socket.inet_aton("239.255.255.250") + socket.inet_aton(address))
    while True:
        data, sender = s.recvfrom(4096)
        if not data.startswith(b"M-SEARCH") or IGD.encode() not in data:
            continue
        # Impostors first: this PC's own address and the other home host, then the router itself.
        for host in (sender[0], f"{home}.20", address):
            reply = (f"HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\nST: {IGD}\r\nUSN: {UDN}::{IGD}\r\n"
                     f"EXT:\r\nSERVER: Lab/1.0 UPnP/1.1 StandIn/1.0\r\nLOCATION: http://{host}:5000/rootDesc.xml\r\n\r\n")
            s.sendto(reply.encode(), sender)


threading.Thread(target=ssdp, daemon=True).start()
Server((address, 5000), Http).serve_forever()
