#!/usr/bin/env python3
"""Relay benchmark: the engine host's relay against a one-thread select-loop
relay (the yardstick), between a Linux client and a Linux origin on loopback,
under Wine. Reports throughput (MB/s, 1 and 16 streams) and connection rate
(short connections per second, 1 and 16 at once), the engine's share of the
yardstick per row, and the client straight at the origin to show the origin
is not the limit. Both relays listen with backlog 5, as the gateway does, so
the rows compare relaying, not how many connects a listen queue holds.
Numbers from a quiet machine only.

  bench/relay.py [--build build64] [--arch 64] [--megabytes 64] [--seconds 3]
"""
import argparse
import os
import socket
import subprocess
import sys
import threading
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CHUNK = b"\x5a" * 65536


class Origin:
    """Sends what the first line asks for ("BYTES n") and closes; "PING" gets "PONG"."""

    def __init__(self):
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(128)
        self.port = self.listener.getsockname()[1]
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        while True:
            s, _ = self.listener.accept()
            threading.Thread(target=self.serve, args=(s,), daemon=True).start()

    @staticmethod
    def serve(s):
        with s:
            line = b""
            while not line.endswith(b"\n"):
                got = s.recv(64)
                if not got:
                    return
                line += got
            if line.startswith(b"PING"):
                s.sendall(b"PONG\n")
                return
            left = int(line.split()[1])
            while left > 0:
                n = s.send(CHUNK[:min(left, len(CHUNK))])
                left -= n


def fetch(port, size):
    with socket.create_connection(("127.0.0.1", port), timeout=60) as s:
        s.sendall(b"BYTES %d\n" % size)
        got = 0
        while True:
            data = s.recv(262144)
            if not data:
                return got
            got += len(data)


def throughput(port, streams, total):
    each = total // streams
    counts = [0] * streams

    def run(i):
        try:
            counts[i] = fetch(port, each)
        except OSError:
            counts[i] = -1

    threads = [threading.Thread(target=run, args=(i,)) for i in range(streams)]
    start = time.perf_counter()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    elapsed = time.perf_counter() - start
    if sum(counts) != each * streams:
        return None
    return sum(counts) / elapsed / 1e6


def connection_rate(port, concurrency, seconds):
    done = [0] * concurrency
    failed = [0]
    end = time.perf_counter() + seconds

    def run(i):
        while time.perf_counter() < end:
            try:
                with socket.create_connection(("127.0.0.1", port), timeout=20) as s:
                    s.sendall(b"PING\n")
                    reply = b""
                    while True:
                        data = s.recv(64)
                        if not data:
                            break
                        reply += data
                if reply == b"PONG\n":
                    done[i] += 1
                else:
                    failed[0] += 1
            except OSError:
                failed[0] += 1

    threads = [threading.Thread(target=run, args=(i,)) for i in range(concurrency)]
    start = time.perf_counter()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return sum(done) / (time.perf_counter() - start), failed[0]


class Relay:
    """A relay program under Wine, started and stopped around one set of rows."""

    def __init__(self, args, program, *options):
        build = os.path.abspath(args.build)
        command = [os.path.join(TOP, "tools", "wine-run"), "--arch", args.arch,
                   "--prefix", os.path.join(build, "wineprefix"),
                   os.path.join(build, "aids", program)] + list(options)
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline().split()
        if not line or line[0] != "PORT":
            self.process.kill()
            raise SystemExit("%s did not start: %r" % (program, line))
        self.port = int(line[1])

    def close(self):
        try:
            self.process.stdin.write("stop\n")
            self.process.stdin.flush()
            self.process.wait(60)
        except (OSError, subprocess.TimeoutExpired):
            self.process.kill()


def measure(port, args):
    total = args.megabytes * 1000000
    rows = {}
    for streams in (1, 16):
        rows["MB/s, %d stream%s" % (streams, "s" if streams > 1 else "")] = throughput(port, streams, total)
    for concurrency in (1, 16):
        rate, failed = connection_rate(port, concurrency, args.seconds)
        rows["connections/s, %d at once" % concurrency] = rate
        if failed:
            print("  (%d short connections failed at concurrency %d)" % (failed, concurrency))
    return rows


def build_parser():
    """Arguments with --build and --arch defaulting to the build this machine runs."""
    parser = argparse.ArgumentParser()
    arch = subprocess.run([os.path.join(TOP, "tools", "machine-arch")], capture_output=True,
                          text=True).stdout.split()[0]
    parser.add_argument("--build", default=os.path.join(TOP, "build" + arch))
    parser.add_argument("--arch", default=arch)
    return parser


def main():
    parser = build_parser()
    parser.add_argument("--megabytes", type=int, default=64)
    parser.add_argument("--seconds", type=float, default=3.0)
    args = parser.parse_args()

    origin = Origin()
    print("origin direct ...", flush=True)
    direct = measure(origin.port, args)
    results = {}
    for name, program, options in (
            ("select loop", "qvaid_selectrelay.exe", ["--backlog", "5", "127.0.0.1", str(origin.port)]),
            ("engine", "qvaid_enginehost.exe", ["--relay", "127.0.0.1", str(origin.port), "--limit", "100"])):
        print("%s ..." % name, flush=True)
        relay = Relay(args, program, *options)
        try:
            results[name] = measure(relay.port, args)
        finally:
            relay.close()

    print()
    print("%-26s %10s %12s %10s %8s" % ("row", "direct", "select loop", "engine", "share"))
    worst = None
    for row in direct:
        yard, engine = results["select loop"][row], results["engine"][row]
        share = engine / yard if yard and engine else None
        worst = share if worst is None or (share is not None and share < worst) else worst
        cell = lambda v: "%10.1f" % v if v else "%10s" % "failed"
        print("%-26s %s %12s %s %8s" % (row, cell(direct[row]), cell(yard).strip().rjust(12), cell(engine),
                                        "%5.0f %%" % (share * 100) if share else "-"))
    print()
    print("goal: the engine reaches at least 60 %% of the select loop in every row: %s" %
          ("met" if worst is not None and worst >= 0.6 else "NOT met"))


if __name__ == "__main__":
    sys.exit(main())
