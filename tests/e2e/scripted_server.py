#!/usr/bin/env python3
"""A loopback HTTP server that answers each path the way a test script says.

It covers what a stock web server cannot be made to do on purpose: error
statuses, a missing length, chunked bodies, bodies cut short or stalled, slow links.

    scripted_server.py --port N --ready FILE --log FILE

POST /__script with a JSON object replaces the script: it maps raw request paths
(exactly as the client sent them) to behaviours; an unlisted path gets 404. A
behaviour may hold:

    status               200 unless given
    body | body_hex | body_file
                         the body as text (UTF-8), as hex digits, or a file's bytes
    content_length       "omit": no length, the close ends the body
    chunked              send the body with Transfer-Encoding: chunked
    truncate_after N     send only N body bytes, then close the connection
    stall_after N        send N body bytes, then hang without closing
    rate_bytes_per_s N   send the body no faster than this

Every other request is logged to --log as "METHOD raw-path", one line each,
flushed at once.
"""
import argparse
import io
import json
import os
import select
import socket
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PIECE = 256 * 1024
STALL_LIMIT_S = 600  # a stalled connection is dropped at the latest then
NOT_FOUND = {"status": 404, "body": "not found"}


def body_source(b):
    """The body as a file, so that a large one is never held in memory."""
    if "body_file" in b:
        return open(b["body_file"], "rb")
    return io.BytesIO(bytes.fromhex(b["body_hex"]) if "body_hex" in b else b.get("body", "").encode("utf-8"))


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_POST(self):
        body = self.rfile.read(int(self.headers["Content-Length"]))
        self.server.script = json.loads(body)
        self.send_response(204)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def hang(self):
        """Keeps the connection open and silent until the client gives up."""
        end = time.monotonic() + STALL_LIMIT_S
        while time.monotonic() < end:
            readable, _, _ = select.select([self.connection], [], [], 0.2)
            if readable and not self.connection.recv(1, socket.MSG_PEEK):
                break
        self.close_connection = True

    def do_GET(self):
        # self.path has a leading "//" folded to "/"; the request line has it as sent.
        path = self.requestline.split(" ")[1]
        with self.server.lock:
            self.server.log.write(f"GET {path}\n")
            self.server.log.flush()
        b = self.server.script.get(path, NOT_FOUND)
        chunked = bool(b.get("chunked"))
        self.send_response(b.get("status", 200))
        with body_source(b) as source:
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
        limit = b.get("truncate_after", b.get("stall_after"))
        rate = b.get("rate_bytes_per_s")
        step = max(1, rate // 10) if rate else PIECE  # ten writes a second keep a slow pace smooth
        sent, started = 0, time.monotonic()
        while piece := source.read(step if limit is None else min(step, limit - sent)):
            self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece) if chunked else piece)
            self.wfile.flush()
            sent += len(piece)
            if rate:
                time.sleep(max(0.0, started + sent / rate - time.monotonic()))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--ready", required=True)
    parser.add_argument("--log", required=True)
    args = parser.parse_args()
    server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    server.script, server.lock = {}, threading.Lock()
    server.log = open(args.log, "a", encoding="utf-8")
    open(args.ready, "w").close()
    server.serve_forever()


if __name__ == "__main__":
    main()
