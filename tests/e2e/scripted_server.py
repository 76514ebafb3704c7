#!/usr/bin/env python3
"""A loopback HTTP server that answers each path the way a test script says.

It covers what a stock web server cannot be made to do on purpose: error
statuses, a missing or lying Content-Length, chunked bodies, bodies cut short,
connections that stall before or in the middle of a reply, slow links.

    scripted_server.py --port N|0 [--port-file F] --script FILE [--log FILE]

The script is a JSON object mapping raw request paths (exactly as the client
sent them, "//a/b" included) to behaviours; the key "*" answers every path not
listed, and without it an unlisted path gets 404. A behaviour may hold:

    status               200 unless given
    body | body_hex | body_file
                         the body as text (UTF-8), as hex digits, or a file's bytes
    headers              extra response headers {name: value}
    content_length       "auto" (the real length; the default), "omit", any other
                         text sent as it is, or a number
    chunked              send the body with Transfer-Encoding: chunked
    truncate_after N     send only N body bytes, then close the connection
    stall_after N        send N body bytes, then hang without closing
    stall_before_headers read the request, then hang without answering
    close_immediately    close the connection without answering
    delay_ms N           wait before answering
    rate_bytes_per_s N   send the body no faster than this

POST /__script with a JSON body replaces the script while the server runs, so
one server serves many test cases. Every other request is logged to --log as
"METHOD raw-path", one line per request, flushed at once.
"""
import argparse
import json
import os
import select
import socket
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PIECE = 256 * 1024
STALL_LIMIT_S = 600  # a stalled connection is dropped at the latest then


class State:
    def __init__(self, script, log_path):
        self.lock = threading.Lock()
        self.script = script
        self.log = open(log_path, "a", encoding="utf-8") if log_path else None

    def behaviour(self, path):
        with self.lock:
            return self.script.get(path, self.script.get("*", {"status": 404, "body": "not found"}))

    def replace(self, script):
        with self.lock:
            self.script = script

    def record(self, line):
        if self.log:
            with self.lock:
                self.log.write(line + "\n")
                self.log.flush()


def body_of(b):
    if "body_hex" in b:
        return bytes.fromhex(b["body_hex"])
    return b.get("body", "").encode("utf-8")


def body_pieces(b):
    """The body in pieces, without holding a large file in memory."""
    if "body_file" in b:
        with open(b["body_file"], "rb") as f:
            while piece := f.read(PIECE):
                yield piece
    else:
        data = body_of(b)
        for i in range(0, len(data), PIECE):
            yield data[i:i + PIECE]


def body_length(b):
    if "body_file" in b:
        return os.path.getsize(b["body_file"])
    return len(body_of(b))


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "scripted/1"

    def log_message(self, *args):
        pass

    @property
    def raw_path(self):
        # self.path has a leading "//" folded to "/"; the request line has it as sent.
        return self.requestline.split(" ")[1]

    def do_POST(self):
        if self.raw_path != "/__script":
            return self.answer()
        length = int(self.headers.get("Content-Length", "0"))
        self.server.state.replace(json.loads(self.rfile.read(length) or b"{}"))
        self.send_response(204)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def do_GET(self):
        self.answer()

    def do_HEAD(self):
        self.answer()

    def hang(self):
        """Keep the connection open and silent until the client gives up."""
        end = time.monotonic() + STALL_LIMIT_S
        while time.monotonic() < end:
            readable, _, _ = select.select([self.connection], [], [], 0.2)
            if readable and not self.connection.recv(1, socket.MSG_PEEK):
                break
        self.close_connection = True

    def answer(self):
        state = self.server.state
        state.record(f"{self.command} {self.raw_path}")
        b = state.behaviour(self.raw_path)
        # Drain a request body so keep-alive stays in step.
        if int(self.headers.get("Content-Length", "0") or 0):
            self.rfile.read(int(self.headers["Content-Length"]))
        time.sleep(b.get("delay_ms", 0) / 1000)
        if b.get("close_immediately"):
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)
            return
        if b.get("stall_before_headers"):
            return self.hang()

        chunked = bool(b.get("chunked"))
        self.send_response(b.get("status", 200))
        declared = b.get("content_length", "auto")
        if declared == "auto":
            if not chunked:
                self.send_header("Content-Length", str(body_length(b)))
        elif declared != "omit":
            self.send_header("Content-Length", str(declared))
        if chunked:
            self.send_header("Transfer-Encoding", "chunked")
        for name, value in b.get("headers", {}).items():
            self.send_header(name, str(value))
        if not chunked and not (declared == "auto" or isinstance(declared, int) or str(declared).isdigit()):
            # Without a usable length or chunks, only the close marks the end.
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        if self.command == "HEAD":
            return

        limit = b.get("truncate_after", b.get("stall_after"))
        rate = b.get("rate_bytes_per_s")
        sent = 0
        started = time.monotonic()
        for piece in body_pieces(b):
            if limit is not None:
                piece = piece[:max(0, limit - sent)]
            if rate:
                piece_rate = max(1, rate // 10)  # ten writes a second keep the pace smooth
                for i in range(0, len(piece), piece_rate):
                    self.send_piece(piece[i:i + piece_rate], chunked)
                    sent += len(piece[i:i + piece_rate])
                    time.sleep(max(0.0, started + sent / rate - time.monotonic()))
            else:
                self.send_piece(piece, chunked)
                sent += len(piece)
            if limit is not None and sent >= limit:
                break
        if "stall_after" in b:
            return self.hang()
        if "truncate_after" in b:
            self.wfile.flush()
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)
            return
        if chunked:
            self.wfile.write(b"0\r\n\r\n")
        self.wfile.flush()

    def send_piece(self, piece, chunked):
        if not piece:
            return
        if chunked:
            self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
        else:
            self.wfile.write(piece)
        self.wfile.flush()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--port-file")
    parser.add_argument("--script")
    parser.add_argument("--log")
    args = parser.parse_args()

    script = {}
    if args.script:
        with open(args.script, encoding="utf-8") as f:
            script = json.load(f)
    server = ThreadingHTTPServer(("127.0.0.1", args.port), Handler)
    server.daemon_threads = True
    server.state = State(script, args.log)
    if args.port_file:
        # Written whole and then renamed, so a waiting test never reads half a number.
        with open(args.port_file + ".tmp", "w") as f:
            f.write(str(server.server_address[1]))
        os.replace(args.port_file + ".tmp", args.port_file)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
