"""Servers the line services relay to, on loopback ports picked at run time.

Each runs on one asyncio loop in a background thread and logs what it
received per connection: an echo host (a line "bye" is answered "bye" and the
connection closed), a POP3 server, an NNTP server, and aiosmtpd's SMTP server
storing every message.
"""
import asyncio
import threading

from aiosmtpd.controller import Controller
from e2e import free_port  # the test scripts put tests/quorhub on the path


class Session:
    """One connection's received bytes, and whether the peer closed it."""

    def __init__(self):
        self.data = bytearray()
        self.eof = threading.Event()


class Peer:
    def __init__(self, loop):
        self.loop = loop
        self.sessions = []
        self.port = None
        self.server = None

    def start(self):
        async def go():
            self.server = await asyncio.start_server(self._serve, "127.0.0.1", 0)
            self.port = self.server.sockets[0].getsockname()[1]
        asyncio.run_coroutine_threadsafe(go(), self.loop).result(10)
        return self

    async def _serve(self, reader, writer):
        session = Session()
        self.sessions.append(session)
        try:
            await self.serve(session, reader, writer)
        except (ConnectionError, asyncio.IncompleteReadError):
            pass
        finally:
            session.eof.set()
            writer.close()

    async def lines(self, session, reader):
        while True:
            line = await reader.readline()
            if not line:
                return
            session.data += line
            yield line.rstrip(b"\r\n")


class EchoHost(Peer):
    async def serve(self, session, reader, writer):
        while True:
            chunk = await reader.read(65536)
            if not chunk:
                return
            session.data += chunk
            if chunk.rstrip(b"\r\n").endswith(b"bye") and chunk.endswith(b"\n"):
                writer.write(b"bye\r\n")
                await writer.drain()
                return
            writer.write(chunk)
            await writer.drain()


MESSAGE = b"From: a@b\r\nSubject: relayed\r\n\r\nThe body of the message.\r\n"


class Pop3Server(Peer):
    async def serve(self, session, reader, writer):
        writer.write(b"+OK POP3 peer ready\r\n")
        async for line in self.lines(session, reader):
            verb = line.split(b" ")[0].upper()
            if verb == b"STAT":
                writer.write(b"+OK 1 %d\r\n" % len(MESSAGE))
            elif verb == b"RETR":
                writer.write(b"+OK %d octets\r\n" % len(MESSAGE) + MESSAGE + b".\r\n")
            elif verb == b"QUIT":
                writer.write(b"+OK bye\r\n")
                await writer.drain()
                return
            else:
                writer.write(b"+OK\r\n")
            await writer.drain()


class NntpServer(Peer):
    async def serve(self, session, reader, writer):
        writer.write(b"200 NNTP peer ready\r\n")
        async for line in self.lines(session, reader):
            words = line.split(b" ")
            verb = words[0].upper()
            if verb == b"GROUP":
                writer.write(b"211 3 1 3 " + words[1] + b"\r\n")
            elif verb == b"QUIT":
                writer.write(b"205 bye\r\n")
                await writer.drain()
                return
            elif verb == b"CAPABILITIES":
                writer.write(b"101 Capability list:\r\nVERSION 2\r\nREADER\r\n.\r\n")
            elif verb == b"MODE":
                writer.write(b"200 reader\r\n")
            else:
                writer.write(b"500 unknown\r\n")
            await writer.drain()


class Mailbox:
    def __init__(self):
        self.messages = []

    async def handle_DATA(self, server, session, envelope):
        self.messages.append((envelope.mail_from, list(envelope.rcpt_tos), envelope.original_content))
        return "250 stored"


class Peers:
    """Every peer, started; stop() ends them."""

    def __init__(self):
        self.loop = asyncio.new_event_loop()
        self.thread = threading.Thread(target=self.loop.run_forever, daemon=True)
        self.thread.start()
        self.echo = EchoHost(self.loop).start()
        self.pop3 = Pop3Server(self.loop).start()
        self.nntp = NntpServer(self.loop).start()
        self.mailbox = Mailbox()
        self.smtp_port = free_port()
        self.smtp = Controller(self.mailbox, hostname="127.0.0.1", port=self.smtp_port)
        self.smtp.start()

    def stop(self):
        self.smtp.stop()
        for peer in (self.echo, self.pop3, self.nntp):
            self.loop.call_soon_threadsafe(peer.server.close)
        self.loop.call_soon_threadsafe(self.loop.stop)
        self.thread.join(10)
