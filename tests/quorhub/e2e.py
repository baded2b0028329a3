"""Helpers the Python end-to-end tests share: waiting for evidence, ports,
raw socket exchanges, the gateway's page files and the common main block."""
import argparse
import os
import random
import socket
import sys
import time
import unittest

WAIT = 30
PAGES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "services", "http", "pages")


def wait_for(test, timeout=WAIT):
    """Polls test until it holds or timeout passes; its last answer."""
    end = time.time() + timeout
    while time.time() < end:
        if test():
            return True
        time.sleep(0.05)
    return test()


def listening(host, port):
    try:
        socket.create_connection((host, port), 1).close()
        return True
    except OSError:
        return False


def _ephemeral_range():
    try:
        with open("/proc/sys/net/ipv4/ip_local_port_range") as f:
            low, high = (int(x) for x in f.read().split())
        return low, high
    except (OSError, ValueError):
        return 32768, 60999


_given = set()


def free_port(host="127.0.0.1"):
    """A port nothing listens on at the moment of asking, below the system's
    ephemeral range: a port the system hands out itself could be taken by any
    outgoing connection of the tests running beside this one before the
    gateway binds it."""
    low, high = _ephemeral_range()
    first, last = (10000, low - 1) if low > 12000 else (high + 1, 65535)
    while True:
        port = random.randint(first, last)
        if port in _given:
            continue
        s = socket.socket()
        try:
            s.bind((host, port))
        except OSError:
            continue
        finally:
            s.close()
        _given.add(port)
        return port


def read_all(s):
    """Everything s receives up to the peer's close."""
    got = b""
    while True:
        chunk = s.recv(65536)
        if not chunk:
            return got
        got += chunk


def exchange(address, data, timeout=WAIT):
    """Sends raw bytes to address; everything it answers up to its close."""
    s = socket.create_connection(address, timeout)
    try:
        s.sendall(data)
        return read_all(s)
    finally:
        s.close()


class Client:
    """A raw client socket; every read is bounded."""

    def __init__(self, port, source="127.0.0.1"):
        self.s = socket.socket()
        self.s.settimeout(WAIT)
        if source != "127.0.0.1":
            self.s.bind((source, 0))
        self.s.connect(("127.0.0.1", port))
        self.got = b""

    def send(self, data):
        self.s.sendall(data)

    def read(self, n):
        """Exactly n bytes (fewer only at the end of the stream)."""
        while len(self.got) < n:
            chunk = self.s.recv(max(65536, n - len(self.got)))
            if not chunk:
                break
            self.got += chunk
        out, self.got = self.got[:n], self.got[n:]
        return out

    def until(self, marker):
        while marker not in self.got:
            chunk = self.s.recv(65536)
            if not chunk:
                raise AssertionError("closed before %r; got %r" % (marker, self.got))
            self.got += chunk
        end = self.got.index(marker) + len(marker)
        out, self.got = self.got[:end], self.got[end:]
        return out

    def rest(self):
        """Everything up to the end of the stream."""
        while True:
            chunk = self.s.recv(65536)
            if not chunk:
                out, self.got = self.got, b""
                return out
            self.got += chunk

    def close(self):
        self.s.close()


def page_files():
    """The gateway's page files by name, as text that keeps their bytes."""
    files = {}
    for page in os.listdir(PAGES):
        with open(os.path.join(PAGES, page), encoding="latin-1", newline="") as f:
            files[page] = f.read()
    return files


def main(*modules, arch_default=None):
    """Parses --build/--arch/--source into each module's ARGS, then runs the tests."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    if arch_default is None:
        parser.add_argument("--arch", required=True)
    else:
        parser.add_argument("--arch", default=arch_default)
    parser.add_argument("--source", required=True)
    args, rest = parser.parse_known_args()
    for module in modules:
        module.ARGS = args
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
