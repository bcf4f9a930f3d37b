#!/usr/bin/env python3
"""Local HTTP/HTTPS server that stands in for the tracker-list host in tests.

HTTP is written by hand over sockets so that every faulty behaviour (wrong
lengths, early close, reset, stalls) reaches the client byte for byte, with
nothing smoothed over by a framework.

    listserver.py --state DIR [--certs DIR] [--http PORT ...] [--https PORT[:CERT] ...]

CERT names DIR/CERT.pem + DIR/CERT.key in the certs folder (default "server";
"expired", "wronghost" and "selfsigned" come from make_certs.sh).
Each listener writes STATE/ready.<port> once bound; SIGTERM stops the server.
Every request is appended to STATE/requests.log as one JSON line before it is
answered. The list route's behaviour is read from STATE/list.json per request.
"""

import argparse
import fcntl
import gzip
import http
import json
import os
import re
import signal
import socket
import ssl
import struct
import sys
import termios
import threading
import time
import traceback
import urllib.parse

kMaxHead = 64 * 1024
kHeadTimeout = 30.0
kHangSeconds = 120.0
kLingerSeconds = 2.0
kChunk = 1 << 20


def PatternByte(i):
    return 10 if i % 64 == 63 else ord("a") + i % 26


kPeriod = 832  # lcm(26, 64): the pattern repeats after this many bytes.
kPatternBlock = bytes(PatternByte(i) for i in range(kPeriod)) * (kChunk // kPeriod + 1)
kChunkAligned = (kChunk // kPeriod) * kPeriod


def Pattern(n):
    """The deterministic body bytes 0..n-1 (for small n)."""
    reps = n // len(kPatternBlock) + 1
    return (kPatternBlock * reps)[:n]


def SampleList():
    schemes = ["udp", "udp", "http", "https", "udp", "wss"]
    ports = {"udp": 1337, "http": 80, "https": 443, "wss": 443}
    lines = []
    n = 1
    size = 0
    while size < 16 * 1024:
        scheme = schemes[n % len(schemes)]
        line = "%s://tracker.example-%d.org:%d/announce\n\n" % (scheme, n, ports[scheme])
        lines.append(line)
        size += len(line)
        n += 1
    return "".join(lines).encode("ascii")


kSampleList = SampleList()


class ClientGone(Exception):
    pass


class Server:
    def __init__(self, stateDir, certsDir, bind):
        self.stateDir = stateDir
        self.certsDir = certsDir
        self.bind = bind
        self.stop = threading.Event()
        self.logLock = threading.Lock()
        self.seqLock = threading.Lock()
        self.seqIdentity = None
        self.seqCounts = {}
        self.listeners = []
        self.readyFiles = []

    # ---- listeners -------------------------------------------------------

    def Listen(self, port, certName):
        ctx = None
        if certName is not None:
            ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            ctx.load_cert_chain(os.path.join(self.certsDir, certName + ".pem"),
                                os.path.join(self.certsDir, certName + ".key"))
        ready = os.path.join(self.stateDir, "ready.%d" % port)
        # A stale marker from an earlier run must not make a runner think we are up.
        if os.path.exists(ready):
            os.unlink(ready)
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        sock.bind((self.bind, port))
        sock.listen(128)
        sock.settimeout(0.5)
        self.listeners.append(sock)
        with open(ready, "w") as f:
            f.write("%d\n" % os.getpid())
        self.readyFiles.append(ready)
        threading.Thread(target=self.AcceptLoop, args=(sock, port, ctx), daemon=True).start()

    def AcceptLoop(self, sock, port, ctx):
        while not self.stop.is_set():
            try:
                conn, _ = sock.accept()
            except socket.timeout:
                continue
            except OSError:
                if self.stop.is_set():
                    return
                time.sleep(0.05)
                continue
            threading.Thread(target=self.Serve, args=(conn, port, ctx), daemon=True).start()

    def Shutdown(self):
        self.stop.set()
        for sock in self.listeners:
            try:
                sock.close()
            except OSError:
                pass
        for path in self.readyFiles:
            try:
                os.unlink(path)
            except OSError:
                pass

    # ---- one connection ---------------------------------------------------

    def Serve(self, conn, port, ctx):
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        conn.settimeout(kHeadTimeout)
        try:
            if ctx is not None:
                conn = ctx.wrap_socket(conn, server_side=True, do_handshake_on_connect=False)
                conn.do_handshake()
            head = self.ReadHead(conn)
            if head is None:
                self.CloseClean(conn)
                return
            request = self.LogRequest(port, ctx is not None, head)
            Exchange(self, conn, request).Answer()
        except (ClientGone, OSError, ssl.SSLError):
            # Clients that vanish or refuse our certificate are part of the tests.
            self.Abort(conn)
        except Exception:
            traceback.print_exc()
            self.Abort(conn)

    @staticmethod
    def ReadHead(conn):
        data = b""
        while True:
            end = data.find(b"\r\n\r\n")
            if end >= 0:
                return data[:end + 4]
            if len(data) > kMaxHead:
                return None
            chunk = conn.recv(65536)
            if not chunk:
                return None
            data += chunk

    def LogRequest(self, port, tls, head):
        text = head.decode("latin-1")
        lines = text[:-4].split("\r\n")
        requestLine = lines[0]
        parts = requestLine.split(" ")
        method, target, version = (parts + ["", ""])[:3]
        headers = []
        for line in lines[1:]:
            name, sep, value = line.partition(":")
            headers.append([name, value.strip(" \t")] if sep else [line, None])
        record = {
            "port": port, "tls": tls, "method": method, "target": target,
            "version": version, "request_line": requestLine, "headers": headers,
            "raw_head": text,
        }
        line = json.dumps(record) + "\n"
        with self.logLock:
            with open(os.path.join(self.stateDir, "requests.log"), "a") as f:
                f.write(line)
                f.flush()
        return record

    def CloseClean(self, conn):
        """Ends the response with FIN (and close_notify under TLS), never a reset."""
        if isinstance(conn, ssl.SSLSocket):
            conn.settimeout(kLingerSeconds)
            try:
                conn = conn.unwrap()
            except (OSError, ValueError, ssl.SSLError):
                pass
        try:
            conn.shutdown(socket.SHUT_WR)
            # Closing with unread request bytes would make the kernel send RST,
            # so swallow whatever the client still sends until it closes.
            conn.settimeout(kLingerSeconds)
            deadline = time.monotonic() + kLingerSeconds
            while time.monotonic() < deadline and conn.recv(65536):
                pass
        except (OSError, ValueError, ssl.SSLError):
            pass
        finally:
            conn.close()

    @staticmethod
    def WaitSent(conn):
        """Waits until the peer acknowledged everything sent, so a reset cannot
        discard body bytes the test means to deliver before it."""
        buf = bytearray(4)
        deadline = time.monotonic() + kLingerSeconds
        while time.monotonic() < deadline:
            try:
                fcntl.ioctl(conn.fileno(), termios.TIOCOUTQ, buf)
            except OSError:
                return
            if struct.unpack("i", buf)[0] == 0:
                return
            time.sleep(0.005)

    def Reset(self, conn):
        self.WaitSent(conn)
        self.Abort(conn)

    @staticmethod
    def Abort(conn):
        try:
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        except OSError:
            pass
        try:
            conn.close()
        except OSError:
            pass

    # ---- list.json ------------------------------------------------------

    def ListBehaviour(self, path):
        """The entry of list.json that applies to this request to path."""
        file = os.path.join(self.stateDir, "list.json")
        config = None
        identity = None
        for attempt in range(5):
            try:
                st = os.stat(file)
                with open(file, "rb") as f:
                    raw = f.read()
            except FileNotFoundError:
                raw = None
                identity = None
                break
            identity = (st.st_ino, st.st_mtime_ns, st.st_size, raw)
            try:
                config = json.loads(raw.decode("utf-8"))
                break
            except ValueError:
                # Probably caught mid-write; give the writer a moment.
                config = None
                time.sleep(0.05)
        if raw is not None and config is None:
            raise ValueError("list.json is not valid JSON")
        config = config or {}
        with self.seqLock:
            if identity != self.seqIdentity:
                self.seqIdentity = identity
                self.seqCounts = {}
            index = self.seqCounts.get(path, 0)
            self.seqCounts[path] = index + 1
        entry = {k: v for k, v in config.items() if k != "sequence"}
        sequence = config.get("sequence") or []
        if sequence:
            entry.update(sequence[min(index, len(sequence) - 1)])
        return entry

    def ListBody(self, entry):
        name = entry.get("body_file")
        if not name:
            return kSampleList
        with open(os.path.join(self.stateDir, name), "rb") as f:
            return f.read()


class Exchange:
    """Answers one request on one connection."""

    def __init__(self, server, conn, request):
        self.server = server
        self.conn = conn
        self.request = request
        self.headOnly = request["method"] == "HEAD"

    # ---- sending ----------------------------------------------------------

    def SendHead(self, status, headers):
        reason = ""
        try:
            reason = http.HTTPStatus(status).phrase
        except ValueError:
            reason = "Unknown"
        lines = ["HTTP/1.1 %d %s" % (status, reason)]
        lines += ["%s: %s" % h for h in headers]
        lines.append("Connection: close")
        self.Send(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))

    def Send(self, data):
        try:
            self.conn.sendall(data)
        except (OSError, ssl.SSLError) as e:
            raise ClientGone() from e

    def SendBody(self, data):
        if not self.headOnly:
            self.Send(data)

    def SendPattern(self, n):
        if self.headOnly:
            return
        view = memoryview(kPatternBlock)
        while n > 0:
            step = min(n, kChunkAligned)
            self.Send(view[:step])
            n -= step

    def Simple(self, status, body, contentType="text/plain", extra=()):
        self.SendHead(status, [("Content-Type", contentType),
                               ("Content-Length", str(len(body)))] + list(extra))
        self.SendBody(body)
        self.server.CloseClean(self.conn)

    # ---- routing ----------------------------------------------------------

    def Answer(self):
        request = self.request
        if not request["method"] or not request["target"].startswith(("/", "http")):
            return self.Simple(400, b"bad request\n")
        parts = urllib.parse.urlsplit(request["target"])
        path = parts.path
        query = urllib.parse.parse_qs(parts.query, keep_blank_values=True)
        for pattern, handler in self.kRoutes:
            m = re.fullmatch(pattern, path)
            if m:
                return handler(self, *m.groups(), query=query)
        return self.ListRoute(path)

    def Len(self, n, query):
        n = int(n)
        self.SendHead(200, [("Content-Type", "text/plain"), ("Content-Length", str(n))])
        self.SendPattern(n)
        self.server.CloseClean(self.conn)

    def NoLen(self, n, query):
        self.SendHead(200, [("Content-Type", "text/plain")])
        self.SendPattern(int(n))
        self.server.CloseClean(self.conn)

    def ZeroLen(self, query):
        self.Simple(200, b"")

    def BadLen(self, n, query):
        self.RawLenWith("abc", int(n))

    def RawLen(self, n, query):
        self.RawLenWith(query.get("v", [""])[0], int(n))

    def RawLenWith(self, text, n):
        self.SendHead(200, [("Content-Type", "text/plain"), ("Content-Length", text)])
        self.SendPattern(n)
        self.server.CloseClean(self.conn)

    def Status(self, code, query):
        code = int(code)
        if code < 200 or code in (204, 304):
            # These never carry a body; sending one would corrupt the framing.
            self.SendHead(code, [("Content-Length", "0")])
            return self.server.CloseClean(self.conn)
        self.Simple(code, ("<html><body>%d</body></html>" % code).encode("ascii"), "text/html")

    def Zeros(self, query):
        self.Simple(200, b"abc\x00def\x00ghi", "application/octet-stream")

    def Short(self, n, m, query):
        self.SendHead(200, [("Content-Type", "text/plain"), ("Content-Length", n)])
        self.SendPattern(min(int(m), int(n)))
        self.server.CloseClean(self.conn)

    def Drop(self, n, m, query):
        self.SendHead(200, [("Content-Type", "text/plain"), ("Content-Length", n)])
        self.SendPattern(min(int(m), int(n)))
        self.server.Reset(self.conn)

    def Redirect(self, query):
        self.Simple(302, b"moved\n", extra=[("Location", query.get("to", ["/"])[0])])

    def Loop(self, query):
        host = next((v for k, v in self.request["headers"] if k.lower() == "host"), None)
        scheme = "https" if self.request["tls"] else "http"
        location = "%s://%s/loop" % (scheme, host) if host else "/loop"
        self.Simple(302, b"moved\n", extra=[("Location", location)])

    def Drip(self, n, ms, query):
        n, delay = int(n), int(ms) / 1000.0
        self.SendHead(200, [("Content-Type", "text/plain"), ("Content-Length", str(n))])
        if not self.headOnly:
            body = Pattern(n)
            for i in range(n):
                if self.server.stop.wait(delay):
                    raise ClientGone()
                self.Send(body[i:i + 1])
        self.server.CloseClean(self.conn)

    def Hang(self, query):
        self.SendHead(200, [("Content-Type", "text/plain"), ("Content-Length", "1000")])
        self.SendPattern(10)
        self.conn.settimeout(0.5)
        deadline = time.monotonic() + kHangSeconds
        while time.monotonic() < deadline and not self.server.stop.is_set():
            try:
                if not self.conn.recv(65536):
                    break
            except socket.timeout:
                continue
            except (OSError, ssl.SSLError):
                break
        self.server.CloseClean(self.conn)

    def Gzip(self, query):
        body = gzip.compress(b"Varnook gzip test body.\n" * 20, mtime=0)
        self.Simple(200, body, extra=[("Content-Encoding", "gzip")])

    # ---- hostile answers (the hostile-input tests) -------------------------

    def Long(self, n, m, query):
        """Announces n bytes and sends m > n: the length is a lie the other way."""
        self.SendHead(200, [("Content-Type", "text/plain"), ("Content-Length", n)])
        self.SendPattern(int(m))
        self.server.CloseClean(self.conn)

    def Stall(self, seconds, query):
        """A body without a length that stops after 10 bytes and stays silent
        for `seconds`, then ends cleanly: measures the client's receive time-out."""
        self.SendHead(200, [("Content-Type", "text/plain")])
        self.SendPattern(10)
        self.HoldOpen(float(seconds))
        self.server.CloseClean(self.conn)

    def Mute(self, seconds, query):
        """Takes the request and answers nothing at all for `seconds`, then closes."""
        self.HoldOpen(float(seconds))
        self.server.CloseClean(self.conn)

    def Endless(self, query):
        """A body without a length that never ends: bytes as fast as the client reads."""
        self.SendHead(200, [("Content-Type", "text/plain")])
        while not self.server.stop.is_set():
            self.SendPattern(kChunkAligned)
        raise ClientGone()

    def Trickle(self, ms, query):
        """A body without a length that never ends and never falls silent:
        one byte every `ms` milliseconds."""
        self.SendHead(200, [("Content-Type", "text/plain")])
        delay = int(ms) / 1000.0
        i = 0
        while not self.server.stop.wait(delay):
            self.Send(kPatternBlock[i % kPeriod:i % kPeriod + 1])
            i += 1
        raise ClientGone()

    def Binary(self, query):
        """Every byte value but zero, then a zero and more: no text in any code page."""
        body = bytes(range(1, 256)) * 4 + b"\x00" + bytes(range(256))
        self.Simple(200, body, "application/octet-stream")

    def NotGbk(self, query):
        """UTF-8 and Latin-1 text, and lead bytes of code page 936 with no trail."""
        body = ("\u5217\u8868 UTF-8 \u2713\n".encode("utf-8") + "caf\xe9 Latin-1\n".encode("latin-1") +
                b"lead without trail \x81\n\xfe")
        self.Simple(200, body)

    def HoldOpen(self, seconds):
        self.conn.settimeout(0.5)
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline and not self.server.stop.is_set():
            try:
                if not self.conn.recv(65536):
                    return
            except socket.timeout:
                continue
            except (OSError, ssl.SSLError):
                return

    kRoutes = [
        (r"/len/(\d+)", Len),
        (r"/nolen/(\d+)", NoLen),
        (r"/zerolen", ZeroLen),
        (r"/badlen/(\d+)", BadLen),
        (r"/rawlen/(\d+)", RawLen),
        (r"/status/(\d{3})", Status),
        (r"/zeros", Zeros),
        (r"/short/(\d+)/(\d+)", Short),
        (r"/drop/(\d+)/(\d+)", Drop),
        (r"/big/(\d+)", Len),
        (r"/bignolen/(\d+)", NoLen),
        (r"/redirect", Redirect),
        (r"/loop", Loop),
        (r"/drip/(\d+)/(\d+)", Drip),
        (r"/hang", Hang),
        (r"/gzip", Gzip),
        (r"/long/(\d+)/(\d+)", Long),
        (r"/stall/(\d+)", Stall),
        (r"/mute/(\d+)", Mute),
        (r"/endless", Endless),
        (r"/trickle/(\d+)", Trickle),
        (r"/binary", Binary),
        (r"/notgbk", NotGbk),
    ]

    # The tracker list path, and any path no route above claims.
    def ListRoute(self, path):
        try:
            entry = self.server.ListBehaviour(path)
            body = self.server.ListBody(entry)
        except (OSError, ValueError) as e:
            print("listserver: list route: %s" % e, file=sys.stderr)
            return self.Simple(500, ("list.json: %s\n" % e).encode("utf-8", "replace"))
        mode = entry.get("mode", "ok")
        status = int(entry.get("status", 500 if mode == "status" else 200))
        typeHeader = ("Content-Type", "text/plain")
        if mode in ("ok", "status"):
            return self.Simple(status, body)
        if mode == "nolen":
            self.SendHead(status, [typeHeader])
            self.SendBody(body)
            return self.server.CloseClean(self.conn)
        if mode == "hang":
            return self.Hang({})
        if mode in ("short", "drop"):
            self.SendHead(status, [typeHeader, ("Content-Length", str(len(body)))])
            self.SendBody(body[:len(body) // 2])
            if mode == "short":
                return self.server.CloseClean(self.conn)
            return self.server.Reset(self.conn)
        print("listserver: unknown list mode %r" % mode, file=sys.stderr)
        self.Simple(500, b"unknown list mode\n")


def ParseArgs(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--state", required=True, help="shared state folder")
    parser.add_argument("--certs", help="folder with the certificates (default: --state)")
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--http", type=int, action="append", default=[], metavar="PORT")
    parser.add_argument("--https", action="append", default=[], metavar="PORT[:CERT]")
    args = parser.parse_args(argv)
    if not args.http and not args.https:
        parser.error("give at least one --http or --https port")
    return args


def Main(argv):
    args = ParseArgs(argv)
    os.makedirs(args.state, exist_ok=True)
    server = Server(args.state, args.certs or args.state, args.bind)
    with open(os.path.join(args.state, "sample_list.txt"), "wb") as f:
        f.write(kSampleList)

    def OnSignal(signum, frame):
        server.stop.set()
    signal.signal(signal.SIGTERM, OnSignal)
    signal.signal(signal.SIGINT, OnSignal)

    try:
        for port in args.http:
            server.Listen(port, None)
        for listener in args.https:
            port, _, certName = listener.partition(":")
            server.Listen(int(port), certName or "server")
    except Exception:
        server.Shutdown()
        raise
    while not server.stop.wait(0.5):
        pass
    server.Shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(Main(sys.argv[1:]))
