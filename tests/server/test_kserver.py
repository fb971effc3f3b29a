import hashlib
import json
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
KSERVER = os.path.join(HERE, "kserver.py")
HOST = "download.kestrion.co.kr"
UA = "Mozilla/4.0 (compatible; Win32; WinHttp)"
PAYLOAD = bytes(range(256)) * 4


def start_server(tmp, *extra):
    port_file = os.path.join(tmp, "port")
    proc = subprocess.Popen(
        [sys.executable, KSERVER, "--root", os.path.join(tmp, "root"),
         "--port-file", port_file, *extra],
        stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 10
    while not os.path.exists(port_file):
        if proc.poll() is not None or time.monotonic() > deadline:
            proc.kill()
            raise RuntimeError("kserver did not start")
        time.sleep(0.02)
    with open(port_file) as f:
        text = f.read()
    assert text.endswith("\n"), repr(text)
    return proc, int(text)


def parse(raw):
    head, _, body = raw.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    headers = [tuple(x.strip() for x in line.split(":", 1)) for line in lines[1:]]
    return lines[0], headers, body


def header(headers, name):
    found = [v for n, v in headers if n.lower() == name.lower()]
    assert len(found) <= 1, headers
    return found[0] if found else None


def dechunk(body):
    out = b""
    while True:
        size_line, _, body = body.partition(b"\r\n")
        size = int(size_line, 16)
        if size == 0:
            assert body == b"\r\n", body
            return out
        out += body[:size]
        assert body[size:size + 2] == b"\r\n"
        body = body[size + 2:]


class KServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmpdir = tempfile.TemporaryDirectory()
        tmp = cls.tmp = cls.tmpdir.name
        root = os.path.join(tmp, "root")
        os.makedirs(os.path.join(root, "Kestrion", "sub"))
        cls.files = {
            "Kestrion/a.bin": PAYLOAD,
            "Kestrion/with space.ini": b"[x]\r\n",
            "Kestrion/empty": b"",
        }
        for name, data in cls.files.items():
            with open(os.path.join(root, name), "wb") as f:
                f.write(data)
        # Something just outside the root to try escaping to.
        with open(os.path.join(tmp, "secret"), "wb") as f:
            f.write(b"secret")
        with open(os.path.join(tmp, "alt.bin"), "wb") as f:
            f.write(b"from body_file")
        cls.script = os.path.join(tmp, "script.json")
        cls.log = os.path.join(tmp, "log.jsonl")
        cls.proc, cls.port = start_server(tmp, "--script", cls.script, "--log", cls.log)

    @classmethod
    def tearDownClass(cls):
        cls.proc.send_signal(signal.SIGTERM)
        cls.proc.wait(10)
        cls.tmpdir.cleanup()

    def set_rules(self, rules):
        tmp = self.script + ".tmp"
        with open(tmp, "w") as f:
            json.dump({"rules": rules}, f)
        os.replace(tmp, self.script)

    def setUp(self):
        if os.path.exists(self.script):
            os.remove(self.script)

    def connect(self, path, method="GET", origin=False, lines=None):
        target = path if origin else f"http://{HOST}:80{path}"
        if lines is None:
            lines = ["Accept: */*", f"Host: {HOST}", f"User-Agent: {UA}"]
        s = socket.create_connection(("127.0.0.1", self.port), timeout=5)
        s.sendall("\r\n".join([f"{method} {target} HTTP/1.1", *lines, "", ""]).encode())
        return s

    @staticmethod
    def read_all(s):
        out = b""
        with s:
            while True:
                got = s.recv(65536)
                if not got:
                    return out
                out += got

    def get(self, path, **kw):
        return parse(self.read_all(self.connect(path, **kw)))

    def last_log(self):
        with open(self.log) as f:
            return json.loads(f.read().splitlines()[-1])

    def test_files(self):
        cases = [
            ("/Kestrion/a.bin", {}, "200 OK", PAYLOAD),
            ("/Kestrion/a.bin", {"origin": True}, "200 OK", PAYLOAD),
            ("/Kestrion/a.bin?v=3#frag", {}, "200 OK", PAYLOAD),
            ("/Kestrion/with%20space.ini", {}, "200 OK", b"[x]\r\n"),
            ("/Kestrion/empty", {}, "200 OK", b""),
            ("/Kestrion//./a.bin", {}, "200 OK", PAYLOAD),
            ("/Kestrion/a.bin", {"method": "HEAD"}, "200 OK", b""),
            ("/Kestrion/missing", {}, "404 Not Found", None),
            ("/Kestrion/../../secret", {}, "404 Not Found", None),
            ("/%2e%2e/secret", {"origin": True}, "404 Not Found", None),
            ("/Kestrion/..%2f..%2fsecret", {}, "404 Not Found", None),
            ("/Kestrion/sub", {}, "404 Not Found", None),
            ("/", {}, "404 Not Found", None),
            ("/Kestrion/a.bin", {"method": "POST"}, "405 Method Not Allowed", None),
        ]
        for path, kw, status, body in cases:
            with self.subTest(path=path, **kw):
                line, headers, got = self.get(path, **kw)
                self.assertEqual(line, "HTTP/1.1 " + status)
                self.assertEqual(header(headers, "Connection"), "close")
                if body is not None:
                    self.assertEqual(got, body)
                    self.assertEqual(header(headers, "Content-Length"),
                                     str(len(PAYLOAD) if kw.get("method") == "HEAD" else len(body)))
                else:
                    self.assertTrue(got)
                    self.assertNotIn(b"secret", got)
                    self.assertEqual(header(headers, "Content-Length"), str(len(got)))

    def test_log_lines(self):
        self.get("/Kestrion/with%20space.ini?x=1")
        entry = self.last_log()
        self.assertAlmostEqual(entry["time"], time.time(), delta=5)
        self.assertEqual(entry["method"], "GET")
        self.assertEqual(entry["target"], f"http://{HOST}:80/Kestrion/with%20space.ini?x=1")
        self.assertEqual(entry["path"], "/Kestrion/with%20space.ini")
        self.assertEqual(entry["host"], HOST)
        self.assertEqual(entry["user_agent"], UA)
        self.assertEqual(entry["headers"], {"Accept": "*/*", "Host": HOST, "User-Agent": UA})

        self.get("/Kestrion/a.bin", method="HEAD", origin=True, lines=["X-Only: 1"])
        entry = self.last_log()
        self.assertEqual((entry["method"], entry["target"], entry["path"]),
                         ("HEAD", "/Kestrion/a.bin", "/Kestrion/a.bin"))
        self.assertIsNone(entry["host"])
        self.assertIsNone(entry["user_agent"])
        self.assertEqual(entry["headers"], {"X-Only": "1"})

    def test_reply_rules(self):
        # (rule, status line, {header: value or None for absent}, raw body)
        cases = [
            ({"status": 503, "reason": "Busy", "body": "later"},
             "503 Busy", {"Content-Length": "5"}, b"later"),
            ({"status": 500}, "500 Internal Server Error", {}, PAYLOAD),
            ({"status": 302, "headers": {"Location": "http://x/y"}},
             "302 Found", {"Location": "http://x/y"}, PAYLOAD),
            ({"body": "\u00e9"}, "200 OK", {"Content-Length": "2"}, b"\xc3\xa9"),
            ({"body_hex": "00ff10"}, "200 OK", {"Content-Length": "3"}, b"\x00\xff\x10"),
            ({"body_file": "alt.bin"}, "200 OK", {"Content-Length": "14"}, b"from body_file"),
            ({"headers": {"X-Test": "1", "content-length": "99"}},
             "200 OK", {"X-Test": "1", "Content-Length": "99"}, PAYLOAD),
            ({"body": "abcdef", "content_length": 3}, "200 OK", {"Content-Length": "3"}, b"abcdef"),
            ({"body": "abcdef", "content_length": 100}, "200 OK", {"Content-Length": "100"}, b"abcdef"),
            ({"no_content_length": True}, "200 OK", {"Content-Length": None}, PAYLOAD),
            ({"send_bytes": 10}, "200 OK", {"Content-Length": str(len(PAYLOAD))}, PAYLOAD[:10]),
            ({"send_bytes": 0}, "200 OK", {"Content-Length": str(len(PAYLOAD))}, b""),
            ({"extra_bytes": 3}, "200 OK", {"Content-Length": str(len(PAYLOAD))}, PAYLOAD + b"XXX"),
            ({"rate": 1000000}, "200 OK", {"Content-Length": str(len(PAYLOAD))}, PAYLOAD),
        ]
        for rule, status, want_headers, body in cases:
            with self.subTest(rule=rule):
                self.set_rules({"/Kestrion/a.bin": rule})
                line, headers, got = self.get("/Kestrion/a.bin")
                self.assertEqual(line, "HTTP/1.1 " + status)
                for name, value in want_headers.items():
                    self.assertEqual(header(headers, name), value)
                self.assertEqual(got, body)

    def test_rule_without_body_for_missing_file(self):
        for rule, status, body in [({"headers": {"X-A": "b"}}, "404 Not Found", b"404 Not Found\n"),
                                   ({"status": 500}, "500 Internal Server Error",
                                    b"500 Internal Server Error\n")]:
            with self.subTest(rule=rule):
                self.set_rules({"/Kestrion/nothing": rule})
                line, headers, got = self.get("/Kestrion/nothing")
                self.assertEqual((line, got), ("HTTP/1.1 " + status, body))
                self.assertEqual(header(headers, "Content-Length"), str(len(body)))

    def test_chunked(self):
        for rule, complete in [({"chunked": True}, True),
                               ({"chunked": True, "body_hex": ""}, True),
                               ({"chunked": True, "send_bytes": 7}, False)]:
            with self.subTest(rule=rule):
                self.set_rules({"/Kestrion/a.bin": rule})
                line, headers, got = self.get("/Kestrion/a.bin")
                self.assertEqual(header(headers, "Transfer-Encoding"), "chunked")
                self.assertIsNone(header(headers, "Content-Length"))
                if complete:
                    self.assertEqual(dechunk(got), b"" if "body_hex" in rule else PAYLOAD)
                else:
                    self.assertEqual(got, b"%x\r\n" % len(PAYLOAD) + PAYLOAD[:7])

    def test_stall_keeps_socket_open(self):
        self.set_rules({"/Kestrion/a.bin": {"stall_after": 5, "stall_seconds": 1.5}})
        s = self.connect("/Kestrion/a.bin")
        with s:
            got = b""
            while b"\r\n\r\n" not in got or len(got.partition(b"\r\n\r\n")[2]) < 5:
                got += s.recv(4096)
            self.assertEqual(got.partition(b"\r\n\r\n")[2], PAYLOAD[:5])
            s.settimeout(0.5)
            with self.assertRaises(socket.timeout):
                s.recv(4096)
            s.settimeout(5)
            self.assertEqual(s.recv(4096), b"")

    def test_delay_logs_before_reply(self):
        self.set_rules({"/Kestrion/a.bin": {"delay": 0.6, "body": "late"}})
        t0 = time.monotonic()
        s = self.connect("/Kestrion/a.bin?delayed")
        time.sleep(0.3)
        self.assertEqual(self.last_log()["target"], f"http://{HOST}:80/Kestrion/a.bin?delayed")
        line, _, body = parse(self.read_all(s))
        self.assertGreaterEqual(time.monotonic() - t0, 0.6)
        self.assertEqual((line, body), ("HTTP/1.1 200 OK", b"late"))

    def test_rate_throttles(self):
        self.set_rules({"/Kestrion/a.bin": {"rate": 2048}})
        t0 = time.monotonic()
        _, _, body = self.get("/Kestrion/a.bin")
        self.assertEqual(body, PAYLOAD)
        self.assertGreaterEqual(time.monotonic() - t0, 0.4)

    def test_reset(self):
        self.set_rules({"/Kestrion/a.bin": {"reset": True}})
        s = self.connect("/Kestrion/a.bin")
        with self.assertRaises(ConnectionResetError):
            self.read_all(s)

    def test_count_then(self):
        sequences = [
            ({"count": 2, "status": 500, "body": "no", "then": {"body": "yes"}},
             ["500 no", "500 no", "200 yes", "200 yes"]),
            # Without "then" the file from the root is served afterwards.
            ({"count": 1, "status": 503, "body": "busy"},
             ["503 busy", "200 " + PAYLOAD.decode("latin-1")]),
            ({"count": 1, "body": "1", "then": {"count": 1, "body": "2", "then": {"body": "3"}}},
             ["200 1", "200 2", "200 3", "200 3"]),
        ]
        for rule, expected in sequences:
            with self.subTest(rule=rule):
                self.set_rules({"/Kestrion/a.bin": rule})
                got = []
                for _ in expected:
                    line, _, body = self.get("/Kestrion/a.bin")
                    got.append(line.split()[1] + " " + body.decode("latin-1"))
                self.assertEqual(got, expected)

    def test_script_reloaded(self):
        self.set_rules({"/Kestrion/a.bin": {"body": "one"}})
        self.assertEqual(self.get("/Kestrion/a.bin")[2], b"one")
        # Rewritten in place: same inode, new size.
        with open(self.script, "w") as f:
            json.dump({"rules": {"/Kestrion/a.bin": {"body": "second"}}}, f)
        self.assertEqual(self.get("/Kestrion/a.bin")[2], b"second")
        os.remove(self.script)
        self.assertEqual(self.get("/Kestrion/a.bin")[2], PAYLOAD)

    def test_large_file_streams_fast(self):
        size = 64 << 20
        data = os.urandom(size)
        with open(os.path.join(self.tmp, "root", "Kestrion", "big.bin"), "wb") as f:
            f.write(data)
        want = hashlib.sha256(data).hexdigest()
        del data
        s = self.connect("/Kestrion/big.bin")
        t0 = time.monotonic()
        digest = hashlib.sha256()
        buf = bytearray(1 << 20)
        head = b""
        got = 0
        with s:
            while b"\r\n\r\n" not in head:
                head += s.recv(4096)
            head, _, rest = head.partition(b"\r\n\r\n")
            digest.update(rest)
            got = len(rest)
            while True:
                n = s.recv_into(buf)
                if not n:
                    break
                digest.update(memoryview(buf)[:n])
                got += n
        elapsed = time.monotonic() - t0
        self.assertIn(b"Content-Length: %d" % size, head)
        self.assertEqual((got, digest.hexdigest()), (size, want))
        # Loose bound: the hashing here costs more than the server.
        self.assertLess(elapsed, 4.0)


class ShutdownTest(unittest.TestCase):
    def test_sigterm_exits_cleanly_with_stalled_client(self):
        with tempfile.TemporaryDirectory() as tmp:
            os.mkdir(os.path.join(tmp, "root"))
            script = os.path.join(tmp, "s.json")
            with open(script, "w") as f:
                json.dump({"rules": {"/x": {"body": "abc", "stall_after": 1}}}, f)
            proc, port = start_server(tmp, "--script", script)
            try:
                s = socket.create_connection(("127.0.0.1", port), timeout=5)
                s.sendall(b"GET /x HTTP/1.1\r\n\r\n")
                self.assertTrue(s.recv(4096).startswith(b"HTTP/1.1 200"))
                proc.send_signal(signal.SIGTERM)
                self.assertEqual(proc.wait(5), 0)
                s.close()
            finally:
                if proc.poll() is None:
                    proc.kill()
                    proc.wait()


if __name__ == "__main__":
    unittest.main()
