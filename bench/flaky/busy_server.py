#!/usr/bin/python3
"""A busy HTTP server for bench/flaky/busy.sh: it serves the files of a folder,
at most SLOTS answers at a time, each body sent at RATE bytes a second; a
request that comes while every slot is taken is answered 503 with
Retry-After: AFTER (and no body), as a loaded server or its balancer does.

  busy_server.py ROOT LOG [--slots 2] [--after 2] [--rate 2097152]

Prints its port on one line once it listens. Every request is appended to LOG
as "<status> <method> <path> <seconds since start>"; runs until killed.
"""

import argparse
import os
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PIECE = 16384


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def note(self, status):
        with self.server.log_lock:
            with open(self.server.log_path, "a") as f:
                f.write("%d %s %s %.3f\n" % (status, self.command, self.path,
                                             time.monotonic() - self.server.started))

    def do_HEAD(self):
        self.answer(False)

    def do_GET(self):
        self.answer(True)

    def answer(self, body):
        if not self.server.slots.acquire(blocking=False):
            self.note(503)
            self.send_response(503)
            self.send_header("Retry-After", self.server.after)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        try:
            path = os.path.join(self.server.root,
                                urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
                                .lstrip("/"))
            if not os.path.isfile(path):
                self.note(404)
                self.send_error(404)
                return
            with open(path, "rb") as f:
                data = f.read()
            self.note(200)
            self.send_response(200)
            self.send_header("Content-Length", str(len(data)))
            self.send_header("Last-Modified", self.date_time_string(os.path.getmtime(path)))
            self.end_headers()
            if not body:
                return
            begun = time.monotonic()
            for i in range(0, len(data), PIECE):
                self.wfile.write(data[i:i + PIECE])
                ahead = begun + (i + PIECE) / self.server.rate - time.monotonic()
                if ahead > 0:
                    time.sleep(ahead)
        finally:
            self.server.slots.release()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("log")
    parser.add_argument("--slots", type=int, default=2)
    parser.add_argument("--after", default="2")
    parser.add_argument("--rate", type=float, default=2 << 20)
    args = parser.parse_args()
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.root = args.root
    server.log_path = args.log
    server.log_lock = threading.Lock()
    server.slots = threading.BoundedSemaphore(args.slots)
    server.after = args.after
    server.rate = args.rate
    server.started = time.monotonic()
    open(args.log, "w").close()
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
