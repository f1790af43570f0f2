#!/usr/bin/env python3
"""A LibreTranslate stand-in for the bridge package test: POST /translate
answers the text in capitals, so that a translation shows it came through.
Binds a free port on 127.0.0.1 and prints it; ends at a line or the end of its
standard input, or after an hour whatever happens."""
import json
import os
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class Handler(BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        if self.path != "/translate":
            self.send_error(404)
            return
        answer = json.dumps({"translatedText": json.loads(body)["q"].upper()}).encode()
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)

    def log_message(self, *args):
        pass


def end_with_input():
    sys.stdin.readline()
    os._exit(0)


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
threading.Thread(target=end_with_input, daemon=True).start()
deadline = time.monotonic() + 3600
server.timeout = 1
while time.monotonic() < deadline:
    server.handle_request()
