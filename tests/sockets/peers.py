#!/usr/bin/env python3
"""Loopback peers for the socket library tests: an echo server and an HTTP
file server on 127.0.0.1, each on a free port. Writes "ECHO port" and
"HTTP port" to the port file once both listen, and ends when the stop file
appears (or after --lifetime seconds)."""
import argparse
import functools
import http.server
import os
import socketserver
import threading
import time


class Echo(socketserver.BaseRequestHandler):
    def handle(self):
        while True:
            data = self.request.recv(65536)
            if not data:
                break
            self.request.sendall(data)


class EchoServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--stop-file", required=True)
    parser.add_argument("--serve", default=".")
    parser.add_argument("--lifetime", type=float, default=900)
    args = parser.parse_args()
    echo = EchoServer(("127.0.0.1", 0), Echo)
    handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=args.serve)
    web = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    for server in (echo, web):
        threading.Thread(target=server.serve_forever, daemon=True).start()
    temp = args.port_file + ".tmp"
    with open(temp, "w") as f:
        f.write("ECHO %d\nHTTP %d\n" % (echo.server_address[1], web.server_address[1]))
    os.replace(temp, args.port_file)
    end = time.time() + args.lifetime
    while time.time() < end and not os.path.exists(args.stop_file):
        time.sleep(0.2)
    for path in (args.port_file, args.stop_file):
        try:
            os.unlink(path)
        except OSError:
            pass


if __name__ == "__main__":
    main()
