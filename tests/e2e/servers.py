"""The servers the installer talks to in the end-to-end tests: a scripted server for
what a stock server cannot do on purpose, and Debian's nginx serving a published
tree with the sample configuration."""
from __future__ import annotations

import io
import os
import re
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
        if isinstance(b, list):  # one behaviour per request, the last repeating
            asked = self.server.asked[path] = self.server.asked.get(path, 0) + 1
            b = b[min(asked, len(b)) - 1]
        if b.get("silent"):
            return self.hang()
        chunked = bool(b.get("chunked"))
        # The body as a file, so that a large one is never held in memory.
        with (open(b["body_file"], "rb") if "body_file" in b else
              io.BytesIO(bytes.fromhex(b["body_hex"]) if "body_hex" in b else b.get("body", "").encode())) as source:
            size = source.seek(0, os.SEEK_END)
            start, end = self.asked_range(b, size)
            source.seek(start)
            self.send_response(206 if (start, end) != (0, size) else b.get("status", 200))
            for name, value in b.get("headers", []):
                self.send_header(name, value)
            if (start, end) != (0, size):  # "wrong" names a part one byte beyond the one sent
                shift = int(b["ranges"] == "wrong")
                self.send_header("Content-Range", f"bytes {start + shift}-{end - 1 + shift}/{size}")
            if chunked:
                self.send_header("Transfer-Encoding", "chunked")
            elif b.get("content_length") == "omit":
                self.send_header("Connection", "close")
                self.close_connection = True
            else:
                self.send_header("Content-Length", str(end - start))
            self.end_headers()
            sent = self.send_body(source, b, chunked, start, end)
            self.server.sent.append((path, sent))
        if "stall_after" in b:
            return self.hang()
        if "truncate_after" in b and start + sent < end:
            self.close_connection = True
            return self.connection.shutdown(socket.SHUT_RDWR)
        if chunked:
            self.wfile.write(b"0\r\n\r\n")
        self.wfile.flush()

    def asked_range(self, b, size: int) -> tuple[int, int]:
        """The part of the body to send, [start, end): a "Range: bytes=A-[B]" when the behaviour
        takes ranges, else all of it."""
        wanted = re.fullmatch(r"bytes=(\d+)-(\d*)", self.headers.get("Range", "")) if b.get("ranges") else None
        if not wanted or int(wanted[1]) >= size:
            return 0, size
        return int(wanted[1]), min(size, int(wanted[2]) + 1) if wanted[2] else size

    def send_body(self, source, b, chunked, start: int, end: int) -> int:
        """Sends the body from `start` up to `end`, or up to the offset a truncation or stall names; returns
        the bytes sent."""
        limit, rate = b.get("truncate_after", b.get("stall_after")), b.get("rate_bytes_per_s")
        step = max(1, rate // 10) if rate else PIECE  # ten writes a second keep a slow pace smooth
        stop = end if limit is None else max(start, min(end, limit))
        sent, started = 0, time.monotonic()
        while piece := source.read(min(step, stop - start - sent)):
            try:
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece) if chunked else piece)
                self.wfile.flush()
            except (BrokenPipeError, ConnectionResetError):  # the client let go of a body it refused
                self.close_connection = True
                return sent
            sent += len(piece)
            if rate:
                time.sleep(max(0.0, started + sent / rate - time.monotonic()))
        return sent


class ScriptedServer:
    """A loopback HTTP server answering each raw request path (exactly as the client sent
    it) as `answers` says; an unlisted path gets answers["*"], or 404. A behaviour may hold:
    status (200 unless given); body, body_hex or body_file (text, hex digits or a file's
    bytes); content_length "omit" (the close ends the body); chunked; truncate_after N
    (N body bytes, then close); stall_after N (N body bytes, then hang without closing);
    rate_bytes_per_s N; silent (take the request, never answer); headers [(name, value), ...]
    sent besides; ranges True (a "Range: bytes=A-[B]" is answered with that part, 206) or "wrong"
    (... with a Content-Range one byte off). N counts from the body's first byte, whatever part
    is asked. A list of behaviours answers the path's requests in turn, the last repeating.
    `requests()` lists "GET raw-path", `request_headers()` each request's headers, `bytes_sent(path)`
    the body bytes sent for a path in all."""

    def __init__(self, port: int, answers: dict):
        try:
            self.server = ThreadingHTTPServer(("127.0.0.1", port), _Handler)
        except OSError as error:
            raise HarnessError(f"the scripted server cannot listen on port {port} ({error}); {NAMESPACE_HINT}") from None
        self.server.daemon_threads, self.server.stopping = True, False
        self.server.answers, self.server.log, self.server.headers_seen = answers, [], []
        self.server.asked, self.server.sent = {}, []
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def requests(self) -> list[str]:
        return list(self.server.log)

    def request_headers(self) -> list[dict]:
        return list(self.server.headers_seen)

    def bytes_sent(self, path: str) -> int:
        return sum(sent for asked, sent in self.server.sent if asked == path)

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


def _start_nginx(run: Path, config: Path, who: str) -> None:
    started = subprocess.run([NGINX, "-p", str(run), "-c", str(config), "-e", str(run / "error.log")],
                             capture_output=True, text=True)
    if started.returncode != 0:
        raise HarnessError(f"{who} did not start: {started.stderr}")
    wait_until(lambda: (run / "nginx.pid").exists(), 10, f"{who} to start")


def _stop_nginx(run: Path, config: Path) -> None:
    subprocess.run([NGINX, "-p", str(run), "-c", str(config), "-s", "stop"], capture_output=True)
    time.sleep(0.2)


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
        _start_nginx(self.run, self.config, "nginx")

    def requests(self) -> list[str]:
        """Requests in order as 'PORT "METHOD PATH HTTP/1.1" STATUS BYTES'."""
        log = self.run / "access.log"
        return log.read_text().splitlines() if log.exists() else []

    def paths(self) -> list[str]:
        return [line.split('"')[1].split()[1] for line in self.requests()]

    def stop(self) -> None:
        _stop_nginx(self.run, self.config)


class CachingEdge:
    """nginx as the edge server of a CDN in front of `origin_port`: it fetches and caches each file in
    slices of `slice` bytes, asking the origin for each with Range, and answers the installer's own
    ranges from them, at most `rate` a second to each. `requests()` lists
    '"METHOD PATH HTTP/1.1" "Range" "If-Range" STATUS BYTES'; `drop()` ends every connection at once,
    as an edge server that fails does, and a new worker serves the next."""

    def __init__(self, workdir: Path, port: int, origin_port: int, slice: str = "256k", rate: str = "0"):
        self.run = workdir / "edge"
        self.run.mkdir(parents=True, exist_ok=True)
        temp = "\n".join(f"    {kind}_temp_path {self.run}/{kind};" for kind in
                         ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
        self.config = self.run / "nginx.conf"
        self.config.write_text(f"""user root;
worker_processes 1;
pid {self.run}/nginx.pid;
error_log {self.run}/error.log warn;
events {{ worker_connections 64; }}
http {{
    log_format edge '"$request" "$http_range" "$http_if_range" $status $body_bytes_sent';
    access_log {self.run}/access.log edge;
{temp}
    proxy_cache_path {self.run}/cache keys_zone=edge:1m max_size=1g inactive=1h use_temp_path=off;
    server {{
        listen 127.0.0.1:{port};
        location / {{
            slice {slice};
            proxy_cache edge;
            proxy_cache_key $uri$slice_range;
            proxy_set_header Range $slice_range;
            proxy_cache_valid 200 206 1h;
            proxy_http_version 1.1;
            proxy_pass http://127.0.0.1:{origin_port};
            limit_rate {rate};
        }}
    }}
}}
""")
        _start_nginx(self.run, self.config, "the edge's nginx")

    def requests(self) -> list[str]:
        log = self.run / "access.log"
        return log.read_text().splitlines() if log.exists() else []

    def drop(self) -> None:
        master = (self.run / "nginx.pid").read_text().strip()
        workers = subprocess.run(["pgrep", "-P", master], capture_output=True, text=True).stdout.split()
        for worker in workers:  # nginx's master starts a new worker for each that dies
            os.kill(int(worker), 9)

    def stop(self) -> None:
        _stop_nginx(self.run, self.config)
