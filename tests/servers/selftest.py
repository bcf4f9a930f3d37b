#!/usr/bin/env python3
"""Checks that listserver.py and make_certs.sh behave as the Wine tests rely on.

Runs on the host: builds the certificates in a temporary folder, starts the
server on free high ports and observes every route through raw sockets, so a
reset, an early close or a missing header shows up exactly as a client sees it.
"""

import gzip
import http.client
import json
import os
import shutil
import signal
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

kHere = os.path.dirname(os.path.abspath(__file__))
kListPath = "/quorrel/varnook/master/trackers_all.txt"
kHostName = "raw.githubusercontent.com"


def Pattern(n):
    return bytes(10 if i % 64 == 63 else ord("a") + i % 26 for i in range(n))


def LargePattern(n):
    block = Pattern(832)
    return (block * (n // 832 + 1))[:n]


def FreePorts(count):
    socks = [socket.socket() for _ in range(count)]
    try:
        for s in socks:
            s.bind(("127.0.0.1", 0))
        return [s.getsockname()[1] for s in socks]
    finally:
        for s in socks:
            s.close()


class Reply:
    def __init__(self, raw, error):
        self.raw = raw
        self.error = error  # exception that ended the read, None on a clean EOF
        head, sep, self.body = raw.partition(b"\r\n\r\n")
        self.complete = bool(sep)
        lines = head.decode("latin-1").split("\r\n")
        self.status = int(lines[0].split(" ")[1]) if self.complete else None
        self.headers = [tuple(p.strip() for p in l.split(":", 1)) for l in lines[1:]]
        self.headLines = lines[1:]

    def Header(self, name):
        values = [v for k, v in self.headers if k.lower() == name.lower()]
        return values[0] if values else None


class TlsStream:
    """TLS over memory buffers, so the TCP socket's own errors stay visible:
    a reset raises ConnectionResetError, a close without close_notify raises
    SSLEOFError and only a clean TLS close reads as b""."""

    def __init__(self, sock, context, serverName):
        self.sock = sock
        self.incoming, self.outgoing = ssl.MemoryBIO(), ssl.MemoryBIO()
        self.tls = context.wrap_bio(self.incoming, self.outgoing, server_hostname=serverName)
        self.Retry(self.tls.do_handshake)

    def Retry(self, operation, *args):
        while True:
            try:
                result = operation(*args)
                self.Flush()
                return result
            except ssl.SSLWantReadError:
                self.Flush()
                data = self.sock.recv(1 << 20)
                if data:
                    self.incoming.write(data)
                else:
                    self.incoming.write_eof()

    def Flush(self):
        data = self.outgoing.read()
        if data:
            self.sock.sendall(data)

    def sendall(self, data):
        self.Retry(self.tls.write, data)

    def recv(self, size):
        return self.Retry(self.tls.read, size)


def Fetch(port, target, tlsContext=None, method="GET", extraHead=""):
    """One request over a fresh connection; reads until EOF or error."""
    sock = socket.create_connection(("127.0.0.1", port), timeout=10)
    try:
        stream = TlsStream(sock, tlsContext, kHostName) if tlsContext else sock
        stream.sendall(("%s %s HTTP/1.1\r\nHost: %s\r\n%s\r\n"
                        % (method, target, kHostName, extraHead)).encode("latin-1"))
        chunks, error = [], None
        while True:
            try:
                chunk = stream.recv(1 << 20)
            except (ConnectionResetError, ssl.SSLError) as e:
                error = e
                break
            if not chunk:
                break
            chunks.append(chunk)
        return Reply(b"".join(chunks), error)
    finally:
        sock.close()


def Connect(port, tlsContext=None, serverName=kHostName):
    sock = socket.create_connection(("127.0.0.1", port), timeout=10)
    if tlsContext is not None:
        try:
            sock = tlsContext.wrap_socket(sock, server_hostname=serverName)
        except Exception:
            sock.close()
            raise
    return sock


kCertNames = [n + ext for n in ("ca", "server", "expired", "wronghost", "selfsigned")
              for ext in (".pem", ".key")] + ["ca.der"]
gCerts = None


def setUpModule():
    global gCerts
    gCerts = tempfile.TemporaryDirectory(prefix="listserver-certs-")
    subprocess.run([os.path.join(kHere, "make_certs.sh"), gCerts.name], check=True)


def tearDownModule():
    gCerts.cleanup()


class ServerCase(unittest.TestCase):
    """Shares one running server among all tests of a subclass."""

    certsOption = False  # True: pass --certs; False: certificates sit in the state folder

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="listserver-")
        cls.state = cls.tmp.name
        cls.certs = gCerts.name
        extra = ["--certs", cls.certs]
        if not cls.certsOption:
            for name in kCertNames:
                shutil.copy(os.path.join(gCerts.name, name), cls.state)
            cls.certs = cls.state
            extra = []
        cls.http, cls.https, cls.expired, cls.wronghost, cls.selfsigned = FreePorts(5)
        cls.proc = subprocess.Popen(
            [sys.executable, os.path.join(kHere, "listserver.py"), "--state", cls.state,
             "--http", str(cls.http), "--https", str(cls.https),
             "--https", "%d:expired" % cls.expired, "--https", "%d:wronghost" % cls.wronghost,
             "--https", "%d:selfsigned" % cls.selfsigned] + extra)
        ports = [cls.http, cls.https, cls.expired, cls.wronghost, cls.selfsigned]
        deadline = time.monotonic() + 10
        while not all(os.path.exists(os.path.join(cls.state, "ready.%d" % p)) for p in ports):
            if cls.proc.poll() is not None or time.monotonic() > deadline:
                cls.StopServer()
                raise RuntimeError("listserver did not become ready")
            time.sleep(0.02)
        cls.trusting = ssl.create_default_context(cafile=os.path.join(cls.certs, "ca.pem"))

    @classmethod
    def StopServer(cls):
        if cls.proc.poll() is None:
            cls.proc.send_signal(signal.SIGTERM)
        try:
            return cls.proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            cls.proc.kill()
            cls.proc.wait()
            return None

    @classmethod
    def tearDownClass(cls):
        cls.StopServer()
        cls.tmp.cleanup()

    def StatePath(self, name):
        return os.path.join(self.state, name)

    def CertPath(self, name):
        return os.path.join(self.certs, name)

    def LogRecords(self):
        if not os.path.exists(self.StatePath("requests.log")):
            return []
        with open(self.StatePath("requests.log"), encoding="utf-8") as f:
            return [json.loads(line) for line in f]


class RouteTests(ServerCase):
    def testBodiesAndLengths(self):
        # target, status, Content-Length header (None = absent), body
        cases = [
            ("/len/0", 200, "0", b""),
            ("/len/1", 200, "1", Pattern(1)),
            ("/len/1000", 200, "1000", Pattern(1000)),
            ("/nolen/777", 200, None, Pattern(777)),
            ("/zerolen", 200, "0", b""),
            ("/badlen/50", 200, "abc", Pattern(50)),
            ("/rawlen/5?v=%20%2B12", 200, "+12", Pattern(5)),
            ("/rawlen/5?v=-5", 200, "-5", Pattern(5)),
            ("/rawlen/5?v=99999999999999999999", 200, "99999999999999999999", Pattern(5)),
            ("/status/404", 404, "29", b"<html><body>404</body></html>"),
            ("/status/503", 503, "29", b"<html><body>503</body></html>"),
            ("/zeros", 200, "11", b"abc\x00def\x00ghi"),
            ("/short/100/40", 200, "100", Pattern(40)),
            ("/drip/5/10", 200, "5", Pattern(5)),
            ("/len/3?ignored=1", 200, "3", Pattern(3)),
        ]
        for tls in (False, True):
            for target, status, length, body in cases:
                with self.subTest(target=target, tls=tls):
                    reply = Fetch(self.https if tls else self.http, target,
                                  self.trusting if tls else None)
                    self.assertIsNone(reply.error)
                    self.assertEqual(reply.status, status)
                    self.assertEqual(reply.Header("Content-Length"), length)
                    self.assertEqual(reply.body, body)
                    self.assertEqual(reply.Header("Connection"), "close")

    def testRawLengthIsSentVerbatim(self):
        reply = Fetch(self.http, "/rawlen/2?v=%20%2B12")
        self.assertIn("Content-Length:  +12", reply.headLines)

    def testPatternHasNewlineEvery64Bytes(self):
        body = Fetch(self.http, "/len/130").body
        self.assertEqual(body[:3], b"abc")
        self.assertEqual([i for i, b in enumerate(body) if b == 10], [63, 127])

    def testBigBodies(self):
        cases = [("/big/67108864", self.http, None, "67108864"),
                 ("/bignolen/5000000", self.https, self.trusting, None),
                 ("/bignolen/3000001", self.http, None, None)]
        for target, port, ctx, length in cases:
            with self.subTest(target=target):
                reply = Fetch(port, target, ctx)
                n = int(target.rsplit("/", 1)[1])
                self.assertIsNone(reply.error)
                self.assertEqual(reply.Header("Content-Length"), length)
                self.assertEqual(len(reply.body), n)
                self.assertEqual(reply.body, LargePattern(n))

    def testDropResetsAfterPartialBody(self):
        for tls in (False, True):
            with self.subTest(tls=tls):
                reply = Fetch(self.https if tls else self.http, "/drop/100/40",
                              self.trusting if tls else None)
                self.assertEqual(reply.Header("Content-Length"), "100")
                self.assertIsInstance(reply.error, ConnectionResetError)
                self.assertEqual(reply.body, Pattern(40))

    def testShortIsIncompleteReadForHttpClient(self):
        conn = http.client.HTTPConnection("127.0.0.1", self.http, timeout=10)
        conn.request("GET", "/short/100/40")
        response = conn.getresponse()
        with self.assertRaises(http.client.IncompleteRead) as caught:
            response.read()
        self.assertEqual(len(caught.exception.partial), 40)
        conn.close()

    def testRedirects(self):
        reply = Fetch(self.http, "/redirect?to=http%3A%2F%2Fexample.invalid%2Fa%3Fb%3D1")
        self.assertEqual(reply.status, 302)
        self.assertEqual(reply.Header("Location"), "http://example.invalid/a?b=1")
        reply = Fetch(self.https, "/loop", self.trusting)
        self.assertEqual(reply.status, 302)
        self.assertEqual(reply.Header("Location"), "https://%s/loop" % kHostName)

    def testGzip(self):
        reply = Fetch(self.http, "/gzip")
        self.assertEqual(reply.Header("Content-Encoding"), "gzip")
        self.assertEqual(int(reply.Header("Content-Length")), len(reply.body))
        self.assertTrue(gzip.decompress(reply.body).startswith(b"Varnook"))

    def testHangKeepsConnectionOpen(self):
        sock = Connect(self.http)
        sock.sendall(b"GET /hang HTTP/1.1\r\nHost: x\r\n\r\n")
        data = b""
        while b"\r\n\r\n" not in data or len(data.partition(b"\r\n\r\n")[2]) < 10:
            data += sock.recv(4096)
        sock.settimeout(0.3)
        with self.assertRaises(socket.timeout):
            sock.recv(4096)
        sock.close()
        self.assertIn(b"Content-Length: 1000\r\n", data)
        self.assertEqual(data.partition(b"\r\n\r\n")[2], Pattern(10))

    def testHeadSendsNoBody(self):
        reply = Fetch(self.http, "/len/500", method="HEAD")
        self.assertEqual(reply.Header("Content-Length"), "500")
        self.assertEqual(reply.body, b"")

    def testKeepAliveClientGetsOneAnswerAndCleanClose(self):
        # A request body and a pipelined second request stay unread; closing
        # over unread bytes would turn the clean end into a reset.
        sock = Connect(self.http)
        body = b"x" * 300000
        request = (b"POST /len/3000000 HTTP/1.1\r\nHost: x\r\nConnection: keep-alive\r\n"
                   b"Content-Length: %d\r\n\r\n" % len(body)) + body
        sendErrors = []

        def Send():
            try:
                sock.sendall(request * 2)
            except OSError as e:
                sendErrors.append(e)
        sender = threading.Thread(target=Send)
        sender.start()
        data = b""
        while True:
            chunk = sock.recv(4096)
            if not chunk:
                break
            data += chunk
        sender.join()
        sock.close()
        self.assertEqual(sendErrors, [])
        self.assertEqual(data.count(b"HTTP/1.1 200"), 1)
        self.assertTrue(data.endswith(b"\r\n\r\n" + LargePattern(3000000)))

    def testSurvivesClientsThatVanish(self):
        # Mid-head, mid-handshake and mid-body disconnects, then a normal request.
        sock = Connect(self.http)
        sock.sendall(b"GET /len/1 HTTP/1.1\r\n")
        sock.close()
        raw = socket.create_connection(("127.0.0.1", self.https))
        raw.sendall(b"\x16\x03\x01garbage")
        raw.close()
        sock = Connect(self.http)
        sock.sendall(b"GET /big/67108864 HTTP/1.1\r\n\r\n")
        sock.recv(1000)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        sock.close()
        self.assertEqual(Fetch(self.http, "/len/4").body, Pattern(4))
        self.assertIsNone(self.proc.poll())


class TlsTests(ServerCase):
    def testTrustedCertificateForEveryName(self):
        for name in (kHostName, "localhost", "127.0.0.1"):
            with self.subTest(name=name):
                sock = Connect(self.https, self.trusting, serverName=name)
                cert = sock.getpeercert()
                sock.close()
                self.assertIn(("DNS", kHostName), cert["subjectAltName"])

    def testRejectedCertificates(self):
        cases = [(self.expired, "expired"), (self.wronghost, "Hostname mismatch"),
                 (self.selfsigned, "self-signed"), (self.https, "unable to get local issuer")]
        for port, reason in cases:
            with self.subTest(reason=reason):
                ctx = self.trusting
                if port == self.https:
                    ctx = ssl.create_default_context(cafile=self.CertPath("selfsigned.pem"))
                with self.assertRaises(ssl.SSLCertVerificationError) as caught:
                    Connect(port, ctx)
                self.assertIn(reason, caught.exception.verify_message)

    def testRejectedCertificatesStillServeWithoutVerification(self):
        # The certificate is the only fault: the listeners themselves work.
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
        ctx.check_hostname = False
        ctx.verify_mode = ssl.CERT_NONE
        for port in (self.expired, self.wronghost, self.selfsigned):
            with self.subTest(port=port):
                self.assertEqual(Fetch(port, "/len/7", ctx).body, Pattern(7))

    def testCertificateFiles(self):
        with open(self.CertPath("ca.der"), "rb") as f:
            der = f.read()
        with open(self.CertPath("ca.pem")) as f:
            self.assertEqual(ssl.PEM_cert_to_DER_cert(f.read()), der)
        # Running again must keep the existing CA the Wine prefix already trusts.
        subprocess.run([os.path.join(kHere, "make_certs.sh"), self.certs], check=True)
        with open(self.CertPath("ca.der"), "rb") as f:
            self.assertEqual(f.read(), der)


class LogTests(ServerCase):
    def testRecordFields(self):
        Fetch(self.https, "/len/3?a=1%202", self.trusting,
              extraHead="X-One: first\r\nx-one:  second \r\nAccept: */*\r\n")
        record = self.LogRecords()[-1]
        self.assertEqual(record["port"], self.https)
        self.assertIs(record["tls"], True)
        self.assertEqual(record["method"], "GET")
        self.assertEqual(record["target"], "/len/3?a=1%202")
        self.assertEqual(record["version"], "HTTP/1.1")
        self.assertEqual(record["request_line"], "GET /len/3?a=1%202 HTTP/1.1")
        self.assertEqual(record["headers"], [["Host", kHostName], ["X-One", "first"],
                                             ["x-one", "second"], ["Accept", "*/*"]])
        self.assertEqual(record["raw_head"],
                         "GET /len/3?a=1%202 HTTP/1.1\r\nHost: " + kHostName +
                         "\r\nX-One: first\r\nx-one:  second \r\nAccept: */*\r\n\r\n")

    def testPlainAndHttp10(self):
        sock = Connect(self.http)
        sock.sendall(b"GET /zerolen HTTP/1.0\r\n\r\n")
        while sock.recv(4096):
            pass
        sock.close()
        record = self.LogRecords()[-1]
        self.assertEqual((record["port"], record["tls"], record["version"], record["headers"]),
                         (self.http, False, "HTTP/1.0", []))

    def testConcurrentRequestsEachLoggedOnce(self):
        before = len(self.LogRecords())
        marker = "x" * 3000  # long lines are the ones that would interleave
        threads = [threading.Thread(target=Fetch, args=(self.http, "/len/1?%s%d" % (marker, i)))
                   for i in range(40)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        records = self.LogRecords()[before:]
        self.assertEqual(sorted(r["target"] for r in records),
                         sorted("/len/1?%s%d" % (marker, i) for i in range(40)))


class ListTests(ServerCase):
    def setUp(self):
        self.SetList(None)

    def SetList(self, config, body=None):
        path = self.StatePath("list.json")
        if body is not None:
            with open(self.StatePath("body.txt"), "wb") as f:
                f.write(body)
        if config is None:
            if os.path.exists(path):
                os.unlink(path)
            return
        with open(path + ".tmp", "w") as f:
            json.dump(config, f)
        os.replace(path + ".tmp", path)

    def Sample(self):
        with open(self.StatePath("sample_list.txt"), "rb") as f:
            return f.read()

    def testSampleList(self):
        sample = self.Sample()
        self.assertGreater(len(sample), 15000)
        self.assertTrue(sample.startswith(b"udp://tracker.example-1.org:1337/announce\n\n"))
        for target in (kListPath, "/anything/else"):
            with self.subTest(target=target):
                reply = Fetch(self.https, target, self.trusting)
                self.assertEqual(reply.status, 200)
                self.assertEqual(reply.Header("Content-Length"), str(len(sample)))
                self.assertEqual(reply.body, sample)

    def testModes(self):
        body = b"udp://one.example:1/announce\n\nhttp://two.example/announce\n"
        half = body[:len(body) // 2]
        # config, status, Content-Length, body, ended by reset
        cases = [
            ({"mode": "ok", "body_file": "body.txt"}, 200, str(len(body)), body, False),
            ({"mode": "status", "status": 404, "body_file": "body.txt"}, 404, str(len(body)),
             body, False),
            ({"mode": "status", "status": 500}, 500, str(len(self.Sample())), self.Sample(),
             False),
            ({"mode": "nolen", "body_file": "body.txt"}, 200, None, body, False),
            ({"mode": "short", "body_file": "body.txt"}, 200, str(len(body)), half, False),
            ({"mode": "drop", "body_file": "body.txt"}, 200, str(len(body)), half, True),
        ]
        for config, status, length, expected, reset in cases:
            for tls in (False, True):
                with self.subTest(config=config, tls=tls):
                    self.SetList(config, body)
                    reply = Fetch(self.https if tls else self.http, kListPath,
                                  self.trusting if tls else None)
                    self.assertEqual(reply.status, status)
                    self.assertEqual(reply.Header("Content-Length"), length)
                    self.assertEqual(reply.body, expected)
                    if reset:
                        self.assertIsInstance(reply.error, ConnectionResetError)
                    else:
                        self.assertIsNone(reply.error)

    def testSequenceCountsPerPathAndRestartsWhenFileChanges(self):
        config = {"body_file": "body.txt",
                  "sequence": [{"mode": "status", "status": 503}, {"mode": "drop"}, {}]}
        self.SetList(config, b"list body\n")
        seen = [Fetch(self.http, kListPath).status for _ in range(4)]
        self.assertEqual(seen, [503, 200, 200, 200])
        self.assertEqual(Fetch(self.http, "/other/path").status, 503)
        self.SetList(config)
        self.assertEqual(Fetch(self.http, kListPath).status, 503)
        reply = Fetch(self.http, kListPath)
        self.assertIsNotNone(reply.error)
        self.assertEqual(reply.body, b"list ")

    def testBrokenConfigIsReportedAsServerError(self):
        with open(self.StatePath("list.json"), "w") as f:
            f.write("{not json")
        self.assertEqual(Fetch(self.http, kListPath).status, 500)
        self.SetList({"body_file": "missing.txt"})
        self.assertEqual(Fetch(self.http, kListPath).status, 500)


class LifecycleTests(ServerCase):
    certsOption = True

    def testCertificatesFromCertsOption(self):
        self.assertFalse(os.path.exists(self.StatePath("server.pem")))
        self.assertEqual(Fetch(self.https, "/len/2", self.trusting).body, Pattern(2))

    def testSigtermExitsCleanlyAndRemovesReadyMarkers(self):
        hang = Connect(self.http)
        hang.sendall(b"GET /hang HTTP/1.1\r\n\r\n")
        hang.recv(100)
        self.assertEqual(self.StopServer(), 0)
        hang.close()
        self.assertFalse([n for n in os.listdir(self.state) if n.startswith("ready.")])


if __name__ == "__main__":
    unittest.main(verbosity=2)
