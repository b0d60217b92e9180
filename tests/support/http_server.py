#!/usr/bin/env python3
"""Local HTTP test server for the installer's tests and the demo.

Serves the files of a folder on 127.0.0.1 at a free port. Started and stopped by CTest fixtures:

    http_server.py start --state DIR --root WWW   # daemonises, writes DIR/server.ini, returns
    http_server.py stop  --state DIR              # stops the daemon of DIR
    http_server.py serve --state DIR --root WWW   # the same server in the foreground

DIR/server.ini tells the tests where the server listens (an INI file, so Windows programs can read
it with the profile functions):

    [server]
    http=PORT

Every request is appended to DIR/server.log as "METHOD PATH" lines, so tests can tell which
addresses were fetched.
"""

import argparse
import http.server
import os
import signal
import socketserver
import sys
import threading
import time
import urllib.parse


class Handler(http.server.BaseHTTPRequestHandler):
    server_version = "VelloraTest/1.0"
    protocol_version = "HTTP/1.0"

    def log_message(self, fmt, *args):  # keep stderr quiet; requests go to server.log
        pass

    def _record(self):
        with self.server.log_lock:
            with open(self.server.log_path, "a", encoding="utf-8", errors="replace") as log:
                log.write(f"{self.command} {self.path}\n")

    def _send_body(self, status, body, content_type="application/octet-stream", length=None):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        if length is not None:
            self.send_header("Content-Length", str(length))
        self.end_headers()
        self.wfile.write(body)

    def _serve_file(self, relative):
        root = os.path.realpath(self.server.root)
        path = os.path.realpath(os.path.join(root, relative.lstrip("/")))
        if path != root and not path.startswith(root + os.sep):
            body = b"<html><body><h1>403 Forbidden</h1></body></html>"
            self._send_body(403, body, "text/html", len(body))
            return
        if not os.path.isfile(path):
            body = b"<html><body><h1>404 Not Found</h1></body></html>"
            self._send_body(404, body, "text/html", len(body))
            return
        with open(path, "rb") as f:
            data = f.read()
        self._send_body(200, data, length=len(data))

    def do_GET(self):
        self._record()
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        self._serve_file(path)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def write_state(state_dir, ports):
    tmp = os.path.join(state_dir, "server.ini.tmp")
    with open(tmp, "w", newline="\r\n") as f:
        f.write("[server]\n")
        for key, value in ports.items():
            f.write(f"{key}={value}\n")
    os.replace(tmp, os.path.join(state_dir, "server.ini"))


def serve(args):
    os.makedirs(args.root, exist_ok=True)
    os.makedirs(args.state, exist_ok=True)
    httpd = Server(("127.0.0.1", args.port), Handler)
    httpd.root = args.root
    httpd.log_path = os.path.join(args.state, "server.log")
    httpd.log_lock = threading.Lock()
    open(httpd.log_path, "w").close()

    with open(os.path.join(args.state, "server.pid"), "w") as f:
        f.write(str(os.getpid()))
    write_state(args.state, {"http": httpd.server_address[1]})

    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=httpd.shutdown).start())
    httpd.serve_forever()
    httpd.server_close()


def start(args):
    ini = os.path.join(args.state, "server.ini")
    stop(args, quiet=True)
    if os.path.exists(ini):
        os.remove(ini)
    pid = os.fork()
    if pid == 0:
        os.setsid()
        null = os.open(os.devnull, os.O_RDWR)
        for fd in (0, 1, 2):
            os.dup2(null, fd)
        try:
            serve(args)
        finally:
            os._exit(0)
    deadline = time.time() + 10
    while time.time() < deadline:
        if os.path.exists(ini):
            print(open(ini).read().strip())
            return 0
        time.sleep(0.05)
    print("http_server: the server did not start", file=sys.stderr)
    return 1


def stop(args, quiet=False):
    pid_path = os.path.join(args.state, "server.pid")
    try:
        pid = int(open(pid_path).read().strip())
    except (OSError, ValueError):
        if not quiet:
            print("http_server: no server running", file=sys.stderr)
        return 0
    os.remove(pid_path)
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return 0
    for _ in range(100):
        if not alive(pid):
            return 0
        time.sleep(0.05)
    try:
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    return 0


def alive(pid):
    """True while the process runs; an unreaped zombie counts as gone."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("command", choices=["start", "stop", "serve"])
    parser.add_argument("--state", required=True, help="folder for server.ini, server.pid and server.log")
    parser.add_argument("--root", help="folder to serve")
    parser.add_argument("--port", type=int, default=0, help="port for plain HTTP (default: a free one)")
    args = parser.parse_args()
    if args.command in ("start", "serve") and not args.root:
        parser.error("--root is required")
    if args.command == "start":
        return start(args)
    if args.command == "stop":
        return stop(args)
    serve(args)
    return 0


if __name__ == "__main__":
    sys.exit(main())
