"""The servers the installer talks to in the end-to-end tests: a scripted server for
what a stock server cannot do on purpose, and Debian's nginx serving a published
tree with the sample configuration."""
from __future__ import annotations

import io
import os
import select
import shutil
import socket
import subprocess
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path

from harness import I686_CHROOT, NAMESPACE_HINT, PUBLISH, REPO, TEST_KEY, HarnessError, wait_until

NGINX = shutil.which("nginx") or "/usr/sbin/nginx"
PIECE = 256 * 1024
STALL_LIMIT_S = 600  # a stalled connection is dropped at the latest then


class _Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def hang(self):
        end = time.monotonic() + STALL_LIMIT_S
        while time.monotonic() < end and not self.server.stopping:
            readable, _, _ = select.select([self.connection], [], [], 0.2)
            if readable and not self.connection.recv(1, socket.MSG_PEEK):
                break
        self.close_connection = True

    def do_GET(self):
        # self.path has a leading "//" folded to "/"; the request line has it as sent.
        path = self.requestline.split(" ")[1]
        self.server.log.append(f"GET {path}")
        self.server.headers_seen.append(dict(self.headers))
        answers = self.server.answers
        b = answers.get(path, answers.get("*", {"status": 404, "body": "not found"}))
        if b.get("silent"):
            return self.hang()
        chunked = bool(b.get("chunked"))
        self.send_response(b.get("status", 200))
        for name, value in b.get("headers", []):
            self.send_header(name, value)
        # The body as a file, so that a large one is never held in memory.
        with (open(b["body_file"], "rb") if "body_file" in b else
              io.BytesIO(bytes.fromhex(b["body_hex"]) if "body_hex" in b else b.get("body", "").encode())) as source:
            size = source.seek(0, os.SEEK_END)
            source.seek(0)
            if chunked:
                self.send_header("Transfer-Encoding", "chunked")
            elif b.get("content_length") == "omit":
                self.send_header("Connection", "close")
                self.close_connection = True
            else:
                self.send_header("Content-Length", str(size))
            self.end_headers()
            self.send_body(source, b, chunked)
        if "stall_after" in b:
            return self.hang()
        if "truncate_after" in b:
            self.close_connection = True
            return self.connection.shutdown(socket.SHUT_RDWR)
        if chunked:
            self.wfile.write(b"0\r\n\r\n")
        self.wfile.flush()

    def send_body(self, source, b, chunked):
        limit, rate = b.get("truncate_after", b.get("stall_after")), b.get("rate_bytes_per_s")
        step = max(1, rate // 10) if rate else PIECE  # ten writes a second keep a slow pace smooth
        sent, started = 0, time.monotonic()
        while piece := source.read(step if limit is None else min(step, limit - sent)):
            self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece) if chunked else piece)
            self.wfile.flush()
            sent += len(piece)
            if rate:
                time.sleep(max(0.0, started + sent / rate - time.monotonic()))


class ScriptedServer:
    """A loopback HTTP server answering each raw request path (exactly as the client sent
    it) as `answers` says; an unlisted path gets answers["*"], or 404. A behaviour may hold:
    status (200 unless given); body, body_hex or body_file (text, hex digits or a file's
    bytes); content_length "omit" (the close ends the body); chunked; truncate_after N
    (N body bytes, then close); stall_after N (N body bytes, then hang without closing);
    rate_bytes_per_s N; silent (take the request, never answer); headers [(name, value), ...]
    sent besides. `requests()` lists "GET raw-path", `request_headers()` each request's headers."""

    def __init__(self, port: int, answers: dict):
        try:
            self.server = ThreadingHTTPServer(("127.0.0.1", port), _Handler)
        except OSError as error:
            raise HarnessError(f"the scripted server cannot listen on port {port} ({error}); {NAMESPACE_HINT}") from None
        self.server.daemon_threads, self.server.stopping = True, False
        self.server.answers, self.server.log, self.server.headers_seen = answers, [], []
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def requests(self) -> list[str]:
        return list(self.server.log)

    def request_headers(self) -> list[dict]:
        return list(self.server.headers_seen)

    def stop(self) -> None:
        self.server.stopping = True
        self.server.shutdown()
        self.server.server_close()


def publish(components: Path, base: str, out: Path, *options: str) -> str:
    """Lays out a server tree with the vendor's own tool, its index signed with the tests' key;
    returns what the tool printed (the paths it wrote). Unless `options` give one, the serial is
    the time in microseconds: above that of any tree published before, as a vendor's must be."""
    serial = [] if "--serial" in options else ["--serial", str(time.time_ns() // 1000)]
    result = subprocess.run([str(PUBLISH), "--components", str(components), "--base", base, "--out", str(out),
                             "--replace", "--sign", str(TEST_KEY), *serial, *options], capture_output=True, text=True)
    if result.returncode != 0:
        raise HarnessError(f"norq-publish failed: {result.stderr}")
    return result.stdout


class NginxSite:
    """nginx with deploy/nginx-norq.conf.in, serving `tree` on three loopback ports. `rate`
    bounds each download's speed as nginx's limit_rate does (0: no bound); `http` adds
    directives to the http block ("@RUN@" standing for nginx's own folder); `edit` changes the
    rendered configuration (a server misconfigured on purpose)."""

    def __init__(self, workdir: Path, tree: Path, primary: int, secondary: int, download: int, rate: str = "0",
                 http: str = "", edit=lambda config: config):
        self.run = workdir / "nginx"
        self.run.mkdir(parents=True, exist_ok=True)
        for folder in [tree, *tree.parents[:-1]]:  # nginx's workers read the tree as an unprivileged user
            os.chmod(folder, os.stat(folder).st_mode | 0o005)
        self.config = self.run / "nginx.conf"
        config = subprocess.run(
            ["bash", str(REPO / "scripts" / "render-nginx.sh"), str(self.run), str(tree), "127.0.0.1",
             str(primary), str(secondary), str(download), rate], capture_output=True, text=True, check=True).stdout
        if I686_CHROOT:
            # Under the emulator 32-bit Wine can crash or hang at exit while pooled connections go.
            http += "keepalive_timeout 0;"
        config = config.replace("http {", "http {\n    " + http.replace("@RUN@", str(self.run)), 1)
        self.config.write_text(edit(config))
        started = subprocess.run([NGINX, "-p", str(self.run), "-c", str(self.config),
                                  "-e", str(self.run / "error.log")], capture_output=True, text=True)
        if started.returncode != 0:
            raise HarnessError(f"nginx did not start: {started.stderr}")
        wait_until(lambda: (self.run / "nginx.pid").exists(), 10, "nginx to start")

    def requests(self) -> list[str]:
        """Requests in order as 'PORT "METHOD PATH HTTP/1.1" STATUS BYTES'."""
        log = self.run / "access.log"
        return log.read_text().splitlines() if log.exists() else []

    def paths(self) -> list[str]:
        return [line.split('"')[1].split()[1] for line in self.requests()]

    def stop(self) -> None:
        subprocess.run([NGINX, "-p", str(self.run), "-c", str(self.config), "-s", "stop"], capture_output=True)
        time.sleep(0.2)
