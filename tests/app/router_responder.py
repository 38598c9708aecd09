#!/usr/bin/env python3
"""A home router that grants port mappings, for the tests: it answers UPnP IGD (SSDP discovery,
the device description, the SOAP actions a client uses to map a port) and NAT-PMP the way a router
that grants them does, and forwards each mapped TCP port with an nftables DNAT rule in its own
network namespace. A mapping that is not renewed within its lease goes, as on a router.

Each event goes to standard output as one line ("ready", "ssdp <st>", "upnp external",
"upnp add <port> <client> <lease>", "upnp delete <port>", "natpmp external",
"natpmp add <port> <client> <lease>", "natpmp delete <port>", "expired <port>").

    router_responder.py LAN_ADDRESS WAN_INTERFACE EXTERNAL_ADDRESS [--no-upnp]
"""
import re
import socket
import struct
import subprocess
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, HTTPServer

LAN, WAN_INTERFACE, EXTERNAL = sys.argv[1:4]
UPNP = "--no-upnp" not in sys.argv[4:]
IGD = "urn:schemas-upnp-org:device:InternetGatewayDevice:1"
WANIP = "urn:schemas-upnp-org:service:WANIPConnection:1"
TABLE = "quillet_test"
START = time.monotonic()

lock = threading.Lock()
mappings = {}  # port -> (client, deadline or None)


def say(line):
    with lock:
        print(line, flush=True)


def nft(*commands):
    subprocess.run(["nft", "; ".join(commands)], check=True)


def rebuild():
    """Under lock: one DNAT rule for each mapping."""
    rules = [f"flush chain ip {TABLE} prerouting"]
    for port, (client, _) in mappings.items():
        rules.append(f'add rule ip {TABLE} prerouting iifname "{WAN_INTERFACE}" tcp dport {port} '
                     f"dnat to {client}:{port}")
    nft(*rules)


def grant(kind, port, client, lease):
    with lock:
        if lease == 0 and kind == "natpmp":
            mappings.pop(port, None)
            rebuild()
            print(f"natpmp delete {port}", flush=True)
            return
        mappings[port] = (client, time.monotonic() + lease if lease else None)
        rebuild()
        print(f"{kind} add {port} {client} {lease}", flush=True)


def expire():
    while True:
        time.sleep(0.05)
        with lock:
            now = time.monotonic()
            for port, (_, deadline) in list(mappings.items()):
                if deadline is not None and now > deadline:
                    del mappings[port]
                    rebuild()
                    print(f"expired {port}", flush=True)


DESCRIPTION = f"""<?xml version="1.0"?>
<root xmlns="urn:schemas-upnp-org:device-1-0"><specVersion><major>1</major><minor>0</minor>
</specVersion><device><deviceType>{IGD}</deviceType><friendlyName>Test router</friendlyName>
<UDN>uuid:00000000-0000-0000-0000-000000000001</UDN><deviceList><device>
<deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType>
<UDN>uuid:00000000-0000-0000-0000-000000000002</UDN><serviceList><service>
<serviceType>urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1</serviceType>
<serviceId>urn:upnp-org:serviceId:WANCommonIFC1</serviceId><controlURL>/ctl/CmnIfCfg</controlURL>
<eventSubURL>/evt/CmnIfCfg</eventSubURL><SCPDURL>/WANCfg.xml</SCPDURL></service></serviceList>
<deviceList><device><deviceType>urn:schemas-upnp-org:device:WANConnectionDevice:1</deviceType>
<UDN>uuid:00000000-0000-0000-0000-000000000003</UDN><serviceList><service>
<serviceType>{WANIP}</serviceType><serviceId>urn:upnp-org:serviceId:WANIPConn1</serviceId>
<controlURL>/ctl/IPConn</controlURL><eventSubURL>/evt/IPConn</eventSubURL>
<SCPDURL>/WANIPCn.xml</SCPDURL></service></serviceList></device></deviceList></device>
</deviceList></device></root>"""


class Soap(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def reply(self, status, body, kind="text/xml"):
        data = body.encode()
        self.send_response(status)
        self.send_header("Content-Type", f'{kind}; charset="utf-8"')
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        if self.path == "/rootDesc.xml":
            self.reply(200, DESCRIPTION)
        else:
            self.reply(404, "")

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", 0))).decode()
        action = self.headers.get("SOAPAction", "").strip('"').split("#")[-1]

        def arg(name):
            found = re.search(f"<{name}>([^<]*)</{name}>", body)
            return found.group(1) if found else ""

        values = ""
        if action == "GetStatusInfo":
            values = ("<NewConnectionStatus>Connected</NewConnectionStatus>"
                      "<NewLastConnectionError>ERROR_NONE</NewLastConnectionError>"
                      "<NewUptime>1</NewUptime>")
        elif action == "GetExternalIPAddress":
            say("upnp external")
            values = f"<NewExternalIPAddress>{EXTERNAL}</NewExternalIPAddress>"
        elif action == "AddPortMapping" and arg("NewProtocol") == "TCP":
            grant("upnp", int(arg("NewExternalPort")), arg("NewInternalClient"),
                  int(arg("NewLeaseDuration") or 0))
        elif action == "DeletePortMapping":
            port = int(arg("NewExternalPort"))
            with lock:
                mappings.pop(port, None)
                rebuild()
                print(f"upnp delete {port}", flush=True)
        else:
            self.reply(500, '<?xml version="1.0"?><s:Envelope xmlns:s="http://schemas.xmlsoap.org/'
                       'soap/envelope/"><s:Body><s:Fault><faultcode>s:Client</faultcode>'
                       '<faultstring>UPnPError</faultstring><detail><UPnPError xmlns="urn:'
                       'schemas-upnp-org:control-1-0"><errorCode>401</errorCode>'
                       '<errorDescription>Invalid Action</errorDescription></UPnPError>'
                       '</detail></s:Fault></s:Body></s:Envelope>')
            return
        self.reply(200, '<?xml version="1.0"?><s:Envelope xmlns:s="http://schemas.xmlsoap.org/'
                   'soap/envelope/" s:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/">'
                   f'<s:Body><u:{action}Response xmlns:u="{WANIP}">{values}'
                   f"</u:{action}Response></s:Body></s:Envelope>")


def ssdp(listener, http_port):
    while True:
        data, sender = listener.recvfrom(2048)
        text = data.decode(errors="replace")
        found = re.search(r"^ST:\s*(\S+)", text, re.I | re.M)
        if not text.startswith("M-SEARCH") or not found:
            continue
        st = found.group(1)
        if st not in (IGD, WANIP, "upnp:rootdevice", "ssdp:all"):
            continue
        say(f"ssdp {st}")
        listener.sendto((f"HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\nST: {st}\r\n"
                         f"USN: uuid:00000000-0000-0000-0000-000000000001::{st}\r\nEXT:\r\n"
                         "SERVER: Linux UPnP/1.1 test/1.0\r\n"
                         f"LOCATION: http://{LAN}:{http_port}/rootDesc.xml\r\n\r\n").encode(),
                        sender)


def natpmp(server):
    while True:
        data, sender = server.recvfrom(64)
        epoch = int(time.monotonic() - START)
        if len(data) >= 2 and data[0] == 0 and data[1] == 0:
            say("natpmp external")
            server.sendto(struct.pack("!BBHI4s", 0, 128, 0, epoch, socket.inet_aton(EXTERNAL)),
                          sender)
        elif len(data) >= 12 and data[0] == 0 and data[1] == 2:
            _, _, _, internal, external, lease = struct.unpack("!BBHHHI", data[:12])
            grant("natpmp", internal, sender[0], lease)
            server.sendto(struct.pack("!BBHIHHI", 0, 130, 0, epoch, internal, internal, lease),
                          sender)


nft(f"add table ip {TABLE}",
    f"add chain ip {TABLE} prerouting {{ type nat hook prerouting priority dstnat; }}")
# Every socket is bound before "ready".
http = HTTPServer((LAN, 0), Soap)
gateway = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
gateway.bind((LAN, 5351))
threads = [threading.Thread(target=http.serve_forever),
           threading.Thread(target=natpmp, args=(gateway,)), threading.Thread(target=expire)]
if UPNP:
    listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("", 1900))
    listener.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP,
                        socket.inet_aton("239.255.255.250") + socket.inet_aton(LAN))
    threads.append(threading.Thread(target=ssdp, args=(listener, http.server_port)))
for thread in threads:
    thread.daemon = True
    thread.start()
say("ready")
threading.Event().wait()
