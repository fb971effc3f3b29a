#!/usr/bin/env python3
"""Loopback download server for system tests and the demo.

Serves files from --root to a client that talks to it as its HTTP proxy
(absolute-form request targets) or directly (origin form).  A JSON script
can make chosen paths misbehave; see README.md beside this file.
"""

import argparse
import http
import json
import os
import signal
import socket
import socketserver
import struct
import sys
import tempfile
import threading
import time
import urllib.parse

MAX_HEAD = 64 * 1024
CHUNK = 1 << 20
NOT_FOUND = b"404 Not Found\n"


class Script:
    """Rules from the JSON script, reloaded whenever the file changes."""

    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        self.stamp = None
        self.rules = {}
        self.used = {}

    def _refresh(self):
        try:
            st = os.stat(self.path)
            stamp = (st.st_mtime_ns, st.st_size, st.st_ino)
        except OSError:
            stamp = None
        if stamp == self.stamp:
            return
        rules = {}
        if stamp is not None:
            try:
                with open(self.path, "rb") as f:
                    rules = json.load(f).get("rules") or {}
            except (OSError, ValueError, AttributeError) as e:
                # Probably caught mid-write: keep the old rules and retry
                # on the next request.
                print(f"kserver: script {self.path}: {e}", file=sys.stderr)
                return
        self.stamp = stamp
        self.rules = rules
        self.used = {}

    def rule_for(self, path):
        if not self.path:
            return None
        with self.lock:
            self._refresh()
            rule = self.rules.get(path)
            depth = 0
            while isinstance(rule, dict) and "count" in rule:
                key = (path, depth)
                n = self.used.get(key, 0)
                if n < int(rule["count"]):
                    self.used[key] = n + 1
                    break
                rule = rule.get("then")
                depth += 1
            return rule if isinstance(rule, dict) else None


def target_path(target):
    """The raw path part of an origin- or absolute-form target, or None."""
    if target.startswith("/"):
        path = target
    elif "://" in target:
        rest = target.split("://", 1)[1]
        slash = rest.find("/")
        path = rest[slash:] if slash >= 0 else "/"
    else:
        return None
    for sep in "?#":
        path = path.split(sep, 1)[0]
    return path or "/"


def resolve(root, path):
    """File under root named by the raw path, or None if it must not be served."""
    raw = urllib.parse.unquote_to_bytes(path)
    if b"\0" in raw:
        return None
    parts = [p for p in raw.split(b"/") if p not in (b"", b".")]
    if b".." in parts:
        return None
    root_b = os.path.realpath(os.fsencode(root))
    full = os.path.realpath(os.path.join(root_b, *parts)) if parts else root_b
    # realpath also catches symlinks that lead out of the root.
    if full != root_b and not full.startswith(root_b.rstrip(b"/") + b"/"):
        return None
    return full if os.path.isfile(full) else None


class Body:
    """Reply body held either in memory or as an open file."""

    def __init__(self, data=None, file=None, size=None):
        self.data = data
        self.file = file
        self.size = len(data) if data is not None else size

    def send(self, sock, start, count):
        if count <= 0:
            return
        if self.file is not None:
            # socket.sendfile goes through os.sendfile: no copies through
            # Python, which is what keeps multi-GiB bodies fast.
            sock.sendfile(self.file, offset=start, count=count)
        else:
            sock.sendall(memoryview(self.data)[start:start + count])

    def close(self):
        if self.file is not None:
            self.file.close()


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        sock = self.request
        try:
            sock.settimeout(60)
            head = self._read_head(sock)
            if head is None:
                return
            # No timeout while replying: a throttled or paused client may
            # legitimately take a long time to drain the body.
            sock.settimeout(None)
            self._serve(sock, head)
        except (BrokenPipeError, ConnectionResetError, TimeoutError):
            pass
        except (OSError, ValueError, TypeError) as e:
            # Usually a bad rule in the script; say so instead of going quiet.
            print(f"kserver: {e!r}", file=sys.stderr, flush=True)

    @staticmethod
    def _read_head(sock):
        buf = b""
        while b"\r\n\r\n" not in buf and b"\n\n" not in buf:
            if len(buf) > MAX_HEAD:
                return None
            got = sock.recv(8192)
            if not got:
                return None
            buf += got
        return buf

    def _serve(self, sock, head):
        srv = self.server
        text = head.decode("latin-1")
        lines = text.replace("\r\n", "\n").split("\n\n", 1)[0].split("\n")
        words = lines[0].split()
        method, target = (words[0], words[1]) if len(words) >= 2 else ("", "")
        headers = {}
        lower = {}
        for line in lines[1:]:
            if ":" not in line:
                continue
            name, value = line.split(":", 1)
            name, value = name.strip(), value.strip()
            headers[name] = f"{headers[name]}, {value}" if name in headers else value
            lower[name.lower()] = headers[name]
        path = target_path(target) if target else None
        srv.log_request({
            "time": time.time(),
            "method": method,
            "target": target,
            "path": path,
            "host": lower.get("host"),
            "user_agent": lower.get("user-agent"),
            "headers": headers,
        })

        if path is None:
            return self._simple(sock, method, 400)
        if method not in ("GET", "HEAD"):
            return self._simple(sock, method, 405, [("Allow", "GET, HEAD")])

        rule = srv.script.rule_for(path) or {}
        if rule.get("reset"):
            # Linger 0 turns the close into a RST.
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                            struct.pack("ii", 1, 0))
            sock.close()
            return
        if rule.get("delay"):
            srv.stopping.wait(float(rule["delay"]))

        body = self._rule_body(rule)
        if body is None:
            found = resolve(srv.root, path)
            if found is not None:
                f = open(found, "rb")
                body = Body(file=f, size=os.fstat(f.fileno()).st_size)
        status = int(rule.get("status", 200 if body is not None else 404))
        if body is None:
            body = Body(b"" if status in (204, 304) else
                        NOT_FOUND if status == 404 else
                        f"{status} {_reason(status)}\n".encode())
        try:
            self._reply(sock, method, status, rule, body)
        finally:
            body.close()

    def _rule_body(self, rule):
        if "body" in rule:
            return Body(str(rule["body"]).encode("utf-8"))
        if "body_hex" in rule:
            return Body(bytes.fromhex(rule["body_hex"]))
        if "body_file" in rule:
            name = rule["body_file"]
            base = os.path.dirname(os.path.abspath(self.server.script.path))
            f = open(os.path.join(base, name), "rb")
            return Body(file=f, size=os.fstat(f.fileno()).st_size)
        return None

    def _simple(self, sock, method, status, extra=()):
        body = f"{status} {_reason(status)}\n".encode()
        self._reply(sock, method, status, {"headers": dict(extra)}, Body(body))

    def _reply(self, sock, method, status, rule, body):
        chunked = bool(rule.get("chunked"))
        hdrs = []
        if not rule.get("no_content_length"):
            if "content_length" in rule:
                hdrs.append(("Content-Length", str(int(rule["content_length"]))))
            elif not chunked:
                hdrs.append(("Content-Length", str(body.size)))
        if chunked:
            hdrs.append(("Transfer-Encoding", "chunked"))
        hdrs.append(("Connection", "close"))
        for name, value in (rule.get("headers") or {}).items():
            hdrs = [h for h in hdrs if h[0].lower() != name.lower()]
            hdrs.append((name, str(value)))
        reason = rule.get("reason") or _reason(status)
        head = f"HTTP/1.1 {status} {reason}\r\n"
        head += "".join(f"{n}: {v}\r\n" for n, v in hdrs) + "\r\n"
        sock.sendall(head.encode("latin-1"))
        if method == "HEAD":
            return

        size = body.size
        limit = size
        cut = False
        if "send_bytes" in rule and int(rule["send_bytes"]) < size:
            limit, cut = max(0, int(rule["send_bytes"])), True
        stall = None
        if "stall_after" in rule:
            stall = max(0, min(int(rule["stall_after"]), limit))
            limit = stall
        self._send_body(sock, body, limit, chunked, int(rule.get("rate") or 0))
        if stall is not None:
            self.server.stopping.wait(float(rule.get("stall_seconds", 600)))
            return
        if cut or self.server.stopping.is_set():
            return
        if chunked:
            sock.sendall(b"0\r\n\r\n")
        if rule.get("extra_bytes"):
            sock.sendall(b"X" * int(rule["extra_bytes"]))

    def _send_body(self, sock, body, limit, chunked, rate):
        if not chunked and not rate:
            body.send(sock, 0, limit)
            return
        step = max(1, rate // 20) if rate else CHUNK
        stopping = self.server.stopping
        started = time.monotonic()
        pos = 0
        while pos < limit and not stopping.is_set():
            size = min(step, body.size - pos)
            n = min(size, limit - pos)
            if chunked:
                # The whole chunk is announced even when the body is cut in it.
                sock.sendall(b"%x\r\n" % size)
            body.send(sock, pos, n)
            pos += n
            if chunked and n == size:
                sock.sendall(b"\r\n")
            if rate:
                ahead = pos / rate - (time.monotonic() - started)
                if ahead > 0:
                    stopping.wait(ahead)


def _reason(status):
    try:
        return http.HTTPStatus(status).phrase
    except ValueError:
        return "Unknown"


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    block_on_close = False
    allow_reuse_address = True
    request_queue_size = 128

    def __init__(self, addr, root, script, log):
        if ":" in addr[0]:
            self.address_family = socket.AF_INET6
        self.root = root
        self.script = Script(script)
        self.log_path = log
        self.log_lock = threading.Lock()
        self.stopping = threading.Event()
        super().__init__(addr, Handler)

    def log_request(self, entry):
        if not self.log_path:
            return
        line = json.dumps(entry, ensure_ascii=False) + "\n"
        with self.log_lock, open(self.log_path, "a", encoding="utf-8") as f:
            f.write(line)
            f.flush()


def write_port_file(path, port):
    d = os.path.dirname(os.path.abspath(path))
    fd, tmp = tempfile.mkstemp(prefix=".port.", dir=d)
    with os.fdopen(fd, "w") as f:
        f.write(f"{port}\n")
    os.replace(tmp, path)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--root", required=True)
    ap.add_argument("--bind", default="127.0.0.1")
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--port-file")
    ap.add_argument("--script")
    ap.add_argument("--log")
    args = ap.parse_args(argv)

    srv = Server((args.bind, args.port), args.root, args.script, args.log)
    port = srv.server_address[1]
    stop = threading.Event()

    def on_signal(signum, frame):
        stop.set()

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)
    threading.Thread(target=srv.serve_forever, args=(0.2,), daemon=True).start()
    if args.port_file:
        write_port_file(args.port_file, port)
    print(f"kserver: listening on {args.bind}:{port}", file=sys.stderr, flush=True)
    while not stop.wait(0.5):
        pass
    srv.stopping.set()
    srv.shutdown()
    srv.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
