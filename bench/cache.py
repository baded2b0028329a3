#!/usr/bin/env python3
"""HTTP cache benchmark: quorhub's HTTP proxy with its cache on, under Wine,
against the select-loop yardstick under the same Wine. Memory hits are compared
with the yardstick answering from memory (--respond), misses (a new URL each,
fetched and stored) with the yardstick relaying to the same origin; both
listen with backlog 5, as the gateway does. Origin: nginx on 127.0.0.2 with a
600-byte and a 64 KB object. Client: closed loop, one connection per request,
absolute-URI HTTP/1.0 request lines. Reports requests/s, p50 and p99 of the
whole request and the mean connect time at 1, 4 and 16 clients. Numbers from a
quiet machine only; it is run by hand, never in CI.

  bench/cache.py [--build build64] [--arch 64] [--seconds 3]
"""
import itertools
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(TOP, "tests", "quorhub"))
sys.path.insert(0, os.path.join(TOP, "bench"))
import quorhub_run  # noqa: E402
from e2e import free_port, listening, read_all, wait_for  # noqa: E402
from relay import Relay, build_parser  # noqa: E402

SIZES = {"600 B": 600, "64 KB": 65536}
CLIENTS = (1, 4, 16)
ORIGIN_HOST = "127.0.0.2"

NGINX_CONF = """daemon off;
worker_processes 1;
pid {dir}/nginx.pid;
error_log {dir}/error.log;
events {{ worker_connections 1024; }}
http {{
    access_log off;
    client_body_temp_path {dir}/body;
    proxy_temp_path {dir}/proxy;
    fastcgi_temp_path {dir}/fastcgi;
    uwsgi_temp_path {dir}/uwsgi;
    scgi_temp_path {dir}/scgi;
    server {{
        listen {host}:{port} backlog=512;
        root {dir}/www;
        location /600/ {{ try_files /600.bin =404; }}
        location /65536/ {{ try_files /65536.bin =404; }}
    }}
}}
"""

GATEWAY_INI = """[Server Configuration]
Local User Name=Admin
[Server Communications]
TCP/IP Outbound Interfaces=DEFAULT
[Applications]
HTTP=YES
TELNET=NO
[HTTP Configuration]
TCP/IP Link=TCP/IP Default
TCP/IP Service Port={port}
TCP/IP Connections=64
TCP/IP Outbound Port=80
[HTTP Cache]
Cache=YES
Memory Cache Size=4096
Memory Cache Threshold=512
Disk Cache Size=65536
Disk Cache Threshold=16384
Disk Cache Directory={cache}
[Network Interface - Line 1]
Phonebook Entry=none
[Authorized Users]
*.*=Guest
"""


class Nginx:
    def __init__(self, scratch):
        self.dir = os.path.join(scratch, "nginx")
        os.makedirs(os.path.join(self.dir, "www"))
        for size in SIZES.values():
            with open(os.path.join(self.dir, "www", "%d.bin" % size), "wb") as f:
                f.write(b"o" * size)
        self.port = free_port(ORIGIN_HOST)
        conf = os.path.join(self.dir, "nginx.conf")
        with open(conf, "w") as f:
            f.write(NGINX_CONF.format(dir=self.dir, host=ORIGIN_HOST, port=self.port))
        self.process = subprocess.Popen(["nginx", "-c", conf, "-p", self.dir], stderr=subprocess.DEVNULL)
        if not wait_for(lambda: listening(ORIGIN_HOST, self.port), 30):
            raise SystemExit("nginx does not listen on %s:%d" % (ORIGIN_HOST, self.port))

    def url(self, size, name):
        return "http://%s:%d/%d/%s" % (ORIGIN_HOST, self.port, size, name)

    def close(self):
        self.process.terminate()
        self.process.wait(30)


def ask(port, url):
    """One request on its own connection: (connect seconds, whole seconds, body bytes)."""
    start = time.perf_counter()
    with socket.create_connection(("127.0.0.1", port), timeout=60) as s:
        connected = time.perf_counter()
        s.sendall(b"GET " + url.encode() + b" HTTP/1.0\r\n\r\n")
        got = read_all(s)
    end = time.perf_counter()
    return connected - start, end - start, len(got.partition(b"\r\n\r\n")[2])


def closed_loop(port, clients, seconds, next_url, size):
    """clients loops asking next_url() for seconds: (requests/s, p50 ms, p99 ms, connect ms, failures)."""
    times, connects, failures = [], [], [0]
    lock = threading.Lock()
    end = time.perf_counter() + seconds

    def run():
        while time.perf_counter() < end:
            try:
                connect, whole, length = ask(port, next_url())
            except OSError:
                length = -1
            with lock:
                if length != size:
                    failures[0] += 1
                else:
                    times.append(whole)
                    connects.append(connect)

    threads = [threading.Thread(target=run) for _ in range(clients)]
    start = time.perf_counter()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    elapsed = time.perf_counter() - start
    if not times:
        return None
    times.sort()
    pick = lambda q: times[min(len(times) - 1, int(q * len(times)))] * 1000  # noqa: E731
    return len(times) / elapsed, pick(0.5), pick(0.99), sum(connects) / len(connects) * 1000, failures[0]


def main():
    parser = build_parser()
    parser.add_argument("--seconds", type=float, default=3.0)
    args = parser.parse_args()
    if not shutil.which("nginx"):
        raise SystemExit("nginx is missing: apt-get install nginx-light")

    scratch = tempfile.mkdtemp(prefix="qvcachebench")
    origin = Nginx(scratch)
    port = free_port()
    ini = GATEWAY_INI.format(port=port, cache=quorhub_run.windows_path(os.path.join(scratch, "cache")))
    gateway = quorhub_run.Gateway(args.build, args.arch, TOP, "cache_bench", ini, {})
    relay = responder = None
    rows = []
    try:
        gateway.start()
        if not wait_for(lambda: listening("127.0.0.1", port), 120) or \
                not wait_for(lambda: ask(port, origin.url(600, "ready"))[2] == 600, 60):
            raise SystemExit("the gateway does not serve: %s" % gateway.log())
        relay = Relay(args, "qvaid_selectrelay.exe", "--backlog", "5", ORIGIN_HOST, str(origin.port))
        serial = itertools.count()
        for label, size in SIZES.items():
            responder = Relay(args, "qvaid_selectrelay.exe", "--backlog", "5", "--respond", str(size))
            hit = origin.url(size, "hit")
            ask(port, hit)  # kept from here on
            for clients in CLIENTS:
                fresh = lambda: origin.url(size, "miss%d" % next(serial))  # noqa: E731
                pairs = [("hit", closed_loop(port, clients, args.seconds, lambda: hit, size),
                          closed_loop(responder.port, clients, args.seconds, lambda: hit, size), 0.8),
                         ("miss", closed_loop(port, clients, args.seconds, fresh, size),
                          closed_loop(relay.port, clients, args.seconds, fresh, size), 0.6)]
                for kind, ours, yard, goal in pairs:
                    rows.append((label, clients, kind, ours, yard, goal))
                    print(".", end="", flush=True)
            responder.close()
            responder = None
    finally:
        for r in (responder, relay):
            if r:
                r.close()
        gateway.close()
        origin.close()
        shutil.rmtree(scratch, ignore_errors=True)

    print()
    print("%-6s %3s %-5s | %9s %7s %7s %7s | %9s %7s %7s %7s | %6s" %
          ("object", "cl", "kind", "gw req/s", "p50 ms", "p99 ms", "conn ms", "yd req/s", "p50 ms", "p99 ms",
           "conn ms", "share"))
    met = True
    for label, clients, kind, ours, yard, goal in rows:
        cells = lambda r: ("%9.0f %7.1f %7.1f %7.2f" % r[:4]) if r else "%9s %7s %7s %7s" % ("failed", "", "", "")  # noqa
        share = ours[0] / yard[0] if ours and yard else 0
        met = met and share >= goal
        failed = (ours[4] if ours else 0) + (yard[4] if yard else 0)
        print("%-6s %3d %-5s | %s | %s | %5.0f %%%s" % (label, clients, kind, cells(ours), cells(yard), share * 100,
                                                      "  (%d failed)" % failed if failed else ""))
    print()
    print("goals: hits at least 80 %% of the responder, misses at least 60 %% of the relay: %s" %
          ("met" if met else "NOT met"))


if __name__ == "__main__":
    sys.exit(main())
