#!/usr/bin/env python3
"""The maker's download server as a distant one looks to the program: serves a folder over
HTTP/1.1 on 127.0.0.1, keeps connections alive (also after a 404, as a web server does) and
answers every request only after a fixed delay. Several connections are served at once.

    delaying_server.py <folder> <delay in ms> <port file> [<path part>]

With a path part, only the requests whose path holds it wait. The port it listens on is written
to the port file once it accepts connections; it runs until it is killed. Every request is
counted; the count goes to <port file>.requests on SIGTERM. The path of every request that waits
is added to <port file>.waiting as it begins to wait.
"""
import http.server
import os
import signal
import sys
import threading
import time
import urllib.parse


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    disable_nagle_algorithm = True  # header and body leave at once, not after a delayed ACK
    folder = "."
    delay = 0.0
    delayed_part = ""
    waiting_file = ""
    requests = 0
    lock = threading.Lock()

    def do_GET(self):
        waits = Handler.delayed_part in self.path
        with Handler.lock:
            Handler.requests += 1
            if waits:
                with open(Handler.waiting_file, "a") as out:
                    out.write(self.path + "\n")
        if waits:
            time.sleep(Handler.delay)
        relative = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path).lstrip("/")
        path = os.path.normpath(os.path.join(Handler.folder, relative))
        body, status = b"not found\n", 404
        if path.startswith(Handler.folder) and os.path.isfile(path):
            with open(path, "rb") as file:
                body, status = file.read(), 200
        head = f"HTTP/1.1 {status} {'OK' if status == 200 else 'Not Found'}\r\nContent-Length: {len(body)}\r\n\r\n"
        self.wfile.write(head.encode() + body)

    def log_message(self, *args):
        pass


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 128  # a web server's backlog: new connections are not turned away


def main():
    folder, delay_ms, port_file = sys.argv[1], float(sys.argv[2]), sys.argv[3]
    Handler.folder = os.path.abspath(folder)
    Handler.delay = delay_ms / 1000.0
    Handler.delayed_part = sys.argv[4] if len(sys.argv) > 4 else ""
    Handler.waiting_file = port_file + ".waiting"
    server = Server(("127.0.0.1", 0), Handler)

    def stop(*_):
        with open(port_file + ".requests", "w") as out:
            out.write(f"{Handler.requests}\n")
        os._exit(0)

    signal.signal(signal.SIGTERM, stop)
    with open(port_file + ".tmp", "w") as out:
        out.write(f"{server.server_address[1]}\n")
    os.replace(port_file + ".tmp", port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
