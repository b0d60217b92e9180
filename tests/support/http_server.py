#!/usr/bin/env python3
"""Local HTTP test server for the installer's tests and the demo.

Serves the files of a folder on 127.0.0.1 at a free port. Started and stopped by CTest fixtures:

    http_server.py start --state DIR --root WWW [--tls-dir TLS] [--port P] [--rate N]
                                            # daemonises, writes DIR/server.ini
    http_server.py stop  --state DIR        # stops the daemon of DIR
    http_server.py serve --state DIR ...    # the same server as start, in the foreground

DIR/server.ini tells the tests where the server listens (an INI file, so Windows programs can read
it with the profile functions):

    [server]
    http=PORT        plain HTTP
    refused=PORT     a port that refuses every connection (bound, never listening)
    https=PORT       TLS with TLS/server.crt, issued by the test CA that scripts/setup.sh makes and
                     the machine trusts; use https://localhost:PORT/ (only with --tls-dir)
    untrusted=PORT   TLS with TLS/untrusted.crt, a self-signed certificate nobody trusts
                     (only with --tls-dir)

Files are served whole (200), or from a byte on when the request asks for
"Range: bytes=START-" (206 with Content-Range and Accept-Ranges). Two query parameters on a
file's address make that go wrong on purpose:

    ?cut=N[,N2...]      the connection closes once the body has reached byte N of the file, after a
                        Content-Length for the whole answer: a body that breaks off. A cut point
                        applies to a request that asked for the file from a byte before it (from
                        0 without Range), so a resumed request passes the points behind it.
    ?range=ignore       a Range header is ignored: the whole file, with status 200 (a cut point
                        still counts from the byte the request asked for)
    ?down=S             with cut: once the body has broken off at a cut point, the server is gone
                        for this address (the same path and query) for S seconds, or for good with
                        down=forever: every request for it is reset without an answer. A network
                        that drops for a while, or a server that dies.
    ?rate=N             the body goes out at about N bytes a second (in pieces of N/20 bytes);
                        "start --rate N" paces every file so, as a modest line would
    ?trickle=MS         the body goes out one byte every MS milliseconds: slow enough to take for
                        ever, fast enough never to stall

Besides the files, every listener answers these addresses, which misbehave on purpose:

    /fault/body?size=N[&length=L][&first=F&chunk=C&delay=MS][&then=close|reset|stall]
        status 200 and N pattern bytes (byte i is i % 251); a Content-Length of L only when L is
        given (none: the body ends when the connection closes). The first F bytes (default: all)
        go at once, the rest in pieces of C bytes with MS milliseconds between them. After the
        last byte the connection is closed (close), reset (reset) or held open in silence until
        the client goes (stall). size=endless: the pattern never ends (until the client goes).
    /fault/bomb?size=N[&dict=D][&format=xz]
        status 200, a Content-Length of N and exactly N bytes of an LZMA-alone stream of zeros:
        a decompression bomb the size of the package a list pins, which decodes to about 7000
        times its size. dict=D writes D into the header as the dictionary size, which a decoder
        sets aside before the first byte. format=xz: an .xz stream instead, in blocks of 1 MiB of
        zeros, each with its sizes (so that a decoder takes them on several threads) and a CRC32;
        dict=D makes each block declare a dictionary of at least D.
    /fault/stall
        reads the request and never answers; the connection is held until the client goes.

Every request is appended to DIR/server.log as "METHOD PATH" lines, followed by " RANGE=<value>"
when it asked for a range, so tests can tell which addresses were fetched and how.
"""

import argparse
import fcntl
import http.server
import lzma
import os
import select
import signal
import socket
import socketserver
import ssl
import struct
import sys
import termios
import threading
import time
import urllib.parse
import zlib

# A stalled connection is let go after this long even when the client stays.
STALL_LIMIT_SECONDS = 600
PATTERN_PERIOD = 251


def xz_number(n):
    """The .xz format's variable-length integer."""
    out = bytearray()
    while n >= 0x80:
        out.append(n & 0x7F | 0x80)
        n >>= 7
    out.append(n)
    return bytes(out)


def xz_zero_blocks(size, dict_size):
    """At least size bytes of an .xz stream of blocks of 1 MiB of zeros (no index, no footer)."""
    zeros = bytes(1 << 20)
    data = lzma.compress(zeros, format=lzma.FORMAT_RAW,
                         filters=[{"id": lzma.FILTER_LZMA2, "preset": 0, "dict_size": 1 << 20}])
    # LZMA2's dictionary byte b stands for (2 | b & 1) << (b / 2 + 11) bytes.
    props = next(b for b in range(40) if (2 | b & 1) << (b // 2 + 11) >= dict_size)
    fields = b"\xc0" + xz_number(len(data)) + xz_number(len(zeros)) + b"\x21\x01" + bytes([props])
    header_size = (1 + len(fields) + 4 + 3) // 4 * 4
    header = bytes([header_size // 4 - 1]) + fields
    header += bytes(header_size - 4 - len(header))
    header += struct.pack("<I", zlib.crc32(header))
    block = header + data + bytes(-len(data) % 4) + struct.pack("<I", zlib.crc32(zeros))
    stream = b"\xfd7zXZ\x00\x00\x01" + struct.pack("<I", zlib.crc32(b"\x00\x01"))  # CRC32 checks
    return stream + block * ((size + len(block) - 1) // len(block))


def pattern(offset, count):
    """count bytes of the pattern from offset on: byte i is i % 251."""
    start = offset % PATTERN_PERIOD
    period = bytes(range(PATTERN_PERIOD))
    repeated = period[start:] + period * (count // PATTERN_PERIOD + 1)
    return repeated[:count]


class Handler(http.server.BaseHTTPRequestHandler):
    server_version = "VelloraTest/1.0"
    protocol_version = "HTTP/1.0"

    def log_message(self, fmt, *args):  # keep stderr quiet; requests go to server.log
        pass

    def _record(self):
        with self.server.log_lock:
            with open(self.server.log_path, "a", encoding="utf-8", errors="replace") as log:
                asked = self.headers.get("Range")
                log.write(f"{self.command} {self.path}" + (f" RANGE={asked}" if asked else "") + "\n")

    def _send_body(self, status, body, content_type="application/octet-stream", length=None):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        if length is not None:
            self.send_header("Content-Length", str(length))
        self.end_headers()
        self.wfile.write(body)

    def _down(self):
        """True while this address is gone (?down=S after a cut)."""
        with self.server.log_lock:
            until = self.server.down.get(self.path)
        return until is not None and time.time() < until

    def _reset_at_once(self):
        """Ends the connection with a TCP reset, without an answer."""
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.connection.close()
        self.close_connection = True

    def _serve_file(self, relative, query):
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
        wanted = 0
        asked = self.headers.get("Range", "")
        if asked.startswith("bytes=") and asked.endswith("-"):
            try:
                wanted = int(asked[len("bytes="):-1])
            except ValueError:
                wanted = -1
            if not 0 <= wanted < len(data):
                self.send_response(416)
                self.send_header("Content-Range", f"bytes */{len(data)}")
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
        start = 0 if query.get("range", [""])[0] == "ignore" else wanted
        cuts = sorted(int(n) for n in query.get("cut", [""])[0].split(",") if n.strip().isdigit())
        end = next((n for n in cuts if n > wanted), len(data))
        self.send_response(206 if start else 200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Accept-Ranges", "bytes")
        if start:
            self.send_header("Content-Range", f"bytes {start}-{len(data) - 1}/{len(data)}")
        self.send_header("Content-Length", str(len(data) - start))
        self.end_headers()
        body = memoryview(data)[start:min(end, len(data))]
        rate = int(query.get("rate", [str(self.server.rate)])[0] or 0)
        trickle = int(query.get("trickle", ["0"])[0] or 0)
        if trickle > 0:
            rate = 1000.0 / trickle
        piece = 1 if trickle > 0 else max(1, rate // 20) if rate > 0 else len(body) or 1
        begun = time.time()
        try:
            for at in range(0, len(body), piece):
                if self.server.stopping.is_set():
                    break
                if rate > 0:
                    # Paced against the clock, so that slow writes do not add up to a slower rate.
                    delay = begun + at / rate - time.time()
                    if delay > 0:
                        time.sleep(delay)
                self.wfile.write(body[at:at + piece])
            self.wfile.flush()
        except OSError:
            pass
        if end < len(data):
            self.close_connection = True
            gone = query.get("down", [""])[0]
            if gone:
                seconds = float("inf") if gone == "forever" else float(gone)
                with self.server.log_lock:
                    self.server.down[self.path] = time.time() + seconds

    def _hold_silently(self):
        """Keeps the connection open without a word until the client closes it."""
        sock = self.connection
        deadline = time.time() + STALL_LIMIT_SECONDS
        while time.time() < deadline and not self.server.stopping.is_set():
            try:
                readable, _, _ = select.select([sock], [], [], 0.5)
                if readable and not sock.recv(4096):
                    return
            except (OSError, ValueError, ssl.SSLError):
                return

    def _reset(self):
        """Ends the connection with a TCP reset instead of an orderly close.

        A reset makes the client's system drop what it has received but not yet handed over, so
        the reset waits until the client has taken the body: first until everything sent has
        been acknowledged, then a little longer for the client program to read it.
        """
        deadline = time.time() + 5
        while time.time() < deadline:
            try:
                unacknowledged = struct.unpack("i", fcntl.ioctl(self.connection.fileno(), termios.TIOCOUTQ, b"\0" * 4))[0]
            except OSError:
                break
            if unacknowledged == 0:
                break
            time.sleep(0.05)
        time.sleep(0.5)
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.connection.close()
        self.close_connection = True

    def _fault_body(self, query):
        def number(name, default):
            try:
                return int(query.get(name, [default])[0])
            except ValueError:
                return default

        endless = query.get("size", [""])[0] == "endless"
        size = 1 << 62 if endless else number("size", 0)
        length = query.get("length", [None])[0]
        first = number("first", size)
        chunk = max(1, number("chunk", 65536))
        delay = number("delay", 0) / 1000.0
        then = query.get("then", ["close"])[0]

        # The head goes out in one piece with the start of the body, so that the client sees
        # them arrive together (as with most real servers) whatever the timing.
        head = "HTTP/1.0 200 OK\r\nServer: %s\r\nContent-Type: application/octet-stream\r\n" % self.server_version
        if length is not None:
            head += "Content-Length: %s\r\n" % length
        first_piece = min(size, first, 65536)
        sent = 0
        try:
            self.wfile.write(head.encode("latin-1") + b"\r\n" + pattern(0, first_piece))
            sent = first_piece
            while sent < size and not self.server.stopping.is_set():
                if sent < first:
                    count = min(first - sent, 65536)
                else:
                    count = chunk
                    time.sleep(delay)
                count = min(count, size - sent)
                self.wfile.write(pattern(sent, count))
                sent += count
            self.wfile.flush()
        except OSError:  # the client went away, for example after a cancel
            return
        if then == "reset":
            self._reset()
        elif then == "stall":
            self._hold_silently()

    def _fault_bomb(self, query):
        size = int(query.get("size", ["0"])[0])
        if query.get("format", [""])[0] == "xz":
            dict_size = int(query.get("dict", [str(1 << 20)])[0])
            self._send_body(200, xz_zero_blocks(size, dict_size)[:size], length=size)
            return
        compressor = lzma.LZMACompressor(format=lzma.FORMAT_ALONE,
                                         filters=[{"id": lzma.FILTER_LZMA1, "preset": 0, "dict_size": 1 << 16}])
        zeros = bytes(1 << 20)
        stream = b""
        while len(stream) < size:
            stream += compressor.compress(zeros)
        stream = bytearray(stream[:size])
        if "dict" in query and size >= 5:
            stream[1:5] = struct.pack("<I", int(query["dict"][0]))
        self._send_body(200, bytes(stream), length=size)

    def do_GET(self):
        self._record()
        parts = urllib.parse.urlsplit(self.path)
        path = urllib.parse.unquote(parts.path)
        if path == "/fault/stall":
            self._hold_silently()
        elif path == "/fault/body":
            self._fault_body(urllib.parse.parse_qs(parts.query))
        elif path == "/fault/bomb":
            self._fault_bomb(urllib.parse.parse_qs(parts.query))
        elif self._down():
            self._reset_at_once()
        else:
            self._serve_file(path, urllib.parse.parse_qs(parts.query))


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    tls = None  # an ssl.SSLContext for a TLS listener

    def finish_request(self, request, client_address):
        # The handshake runs here, on the connection's own thread, so a client that stalls in
        # it holds up nobody else.
        if self.tls is not None:
            try:
                request = self.tls.wrap_socket(request, server_side=True)
            except (ssl.SSLError, OSError):
                return  # for example a client that does not trust the certificate
        try:
            self.RequestHandlerClass(request, client_address, self)
        finally:
            if self.tls is not None:
                request.close()

    def handle_error(self, request, client_address):
        pass  # clients that go away early are part of the tests


def write_state(state_dir, ports):
    tmp = os.path.join(state_dir, "server.ini.tmp")
    with open(tmp, "w", newline="\r\n") as f:
        f.write("[server]\n")
        for key, value in ports.items():
            f.write(f"{key}={value}\n")
    os.replace(tmp, os.path.join(state_dir, "server.ini"))


def tls_context(tls_dir, name):
    cert = os.path.join(tls_dir, name + ".crt")
    key = os.path.join(tls_dir, name + ".key")
    if not (os.path.isfile(cert) and os.path.isfile(key)):
        return None
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


def serve(args):
    os.makedirs(args.root, exist_ok=True)
    os.makedirs(args.state, exist_ok=True)
    log_path = os.path.join(args.state, "server.log")
    log_lock = threading.Lock()
    stopping = threading.Event()
    down = {}  # address -> the time it comes back (?down=)
    open(log_path, "w").close()

    def listener(port, tls=None):
        httpd = Server(("127.0.0.1", port), Handler)
        httpd.root = args.root
        httpd.log_path = log_path
        httpd.log_lock = log_lock
        httpd.down = down
        httpd.stopping = stopping
        httpd.tls = tls
        httpd.rate = args.rate
        return httpd

    servers = {"http": listener(args.port)}
    if args.tls_dir:
        for key, name in (("https", "server"), ("untrusted", "untrusted")):
            context = tls_context(args.tls_dir, name)
            if context is not None:
                servers[key] = listener(0, context)

    # Bound but never listening: connections to it are refused, and no other program can take
    # the port while the server runs.
    refusing = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    refusing.bind(("127.0.0.1", 0))

    with open(os.path.join(args.state, "server.pid"), "w") as f:
        f.write(str(os.getpid()))
    ports = {key: httpd.server_address[1] for key, httpd in servers.items()}
    ports["refused"] = refusing.getsockname()[1]
    write_state(args.state, ports)

    def shut_down(*_):
        stopping.set()
        for httpd in servers.values():
            threading.Thread(target=httpd.shutdown).start()

    signal.signal(signal.SIGTERM, shut_down)
    threads = [threading.Thread(target=httpd.serve_forever) for httpd in servers.values()]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for httpd in servers.values():
        httpd.server_close()
    refusing.close()


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
    parser.add_argument("--rate", type=int, default=0, help="bytes a second for every file without ?rate= (default: unpaced)")
    parser.add_argument("--tls-dir", help="folder with server.crt/.key and untrusted.crt/.key for the TLS listeners")
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
