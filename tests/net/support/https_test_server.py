#!/usr/bin/env python3
"""A local HTTPS server for the HTTP client's tests.

Records every request it answers in --record-dir as NNNN.head (request line and
header lines) and NNNN.body (the body bytes); the head is written last, by rename,
so a reader never sees half a record. The chosen port goes to --port-file once the
server listens.

With --refusing-proxy it speaks plain HTTP and answers every request, CONNECT
included, with 407 and "Proxy-Authenticate: Basic" (a proxy no credentials satisfy);
with --endless-refusal too, that 407 has a chunked body that never ends.

Paths (anything else answers 200 with the body "OK"):
  /status/NNN          answers NNN with a short body
  /basic/...           401 with Basic unless the right Basic credentials come
  /digest/...          401 with Digest (MD5, qop=auth) unless the right Digest answer comes
  /chunked/N           N bytes, chunked, no Content-Length
  /bytes/N             N bytes with Content-Length (byte i is i % 251)
  /truncated/N         announces N bytes, sends half of them and closes
  /hold/N              sends the headers of N bytes, the body once the file "release"
                       exists in --record-dir (gives up and hangs up after 30 s)
  /close               closes the connection without answering
  /silent              takes the request and never answers (until the client leaves)
  /trickle/N/MS        announces N bytes and sends one every MS milliseconds
  /tricklehead/MS      sends a status line, then one byte of a header every MS
                       milliseconds, never ending the headers
  /endless             a chunked body that never ends
Slow and endless answers stop when the client goes away, and after 300 s.
"""
import argparse
import base64
import hashlib
import os
import re
import secrets
import select
import socket
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

REALM = "morrowick-test"
# The longest a slow or endless answer goes on, should a client never leave.
LONGEST = 300
PIECE = bytes(i % 251 for i in range(251 * 261))  # 65511 bytes, a whole number of cycles


def pattern(count, start=0):
    """Bytes start..start+count of the repeating pattern, in pieces."""
    offset = start % 251
    while count > 0:
        piece = PIECE[offset:offset + min(count, len(PIECE) - offset)]
        yield piece
        count -= len(piece)
        offset = 0


def md5(text):
    return hashlib.md5(text.encode()).hexdigest()


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "MorrowickTest/1.0"

    def log_message(self, format, *args):  # keep test output quiet
        pass

    def origin_form(self):
        # A server must take a target in absolute form as its path (RFC 9112 3.2.2);
        # Wine's WinHTTP sends that form inside a tunnel.
        if not self.server.refusing_proxy:
            match = re.match(r"^https?://[^/]*(/.*)?$", self.path)
            if match:
                self.path = match.group(1) or "/"

    def do_GET(self):
        self.origin_form()
        self.handle_any()

    def do_POST(self):
        self.origin_form()
        self.handle_any()

    def do_PUT(self):
        self.origin_form()
        self.handle_any()

    def do_CONNECT(self):
        self.handle_any()

    def read_body(self):
        if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
            body = b""
            while True:
                size = int(self.rfile.readline().split(b";")[0], 16)
                if size == 0:
                    self.rfile.readline()
                    return body
                body += self.rfile.read(size)
                self.rfile.readline()
        return self.rfile.read(int(self.headers.get("Content-Length", 0)))

    def record(self, body):
        server = self.server
        with server.lock:
            server.count += 1
            name = os.path.join(server.record_dir, "%04d" % server.count)
        with open(name + ".body", "wb") as f:
            f.write(body)
        head = "%s %s\r\n" % (self.command, self.path)
        head += "".join("%s: %s\r\n" % (k, v) for k, v in self.headers.items())
        with open(name + ".tmp", "wb") as f:
            f.write(head.encode("utf-8", "surrogateescape"))
        os.rename(name + ".tmp", name + ".head")

    def reply(self, status, body=b"", headers=()):
        self.send_response(status)
        for key, value in headers:
            self.send_header(key, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def client_gone(self, wait):
        """Waits up to `wait` seconds; True once the client closed its side."""
        try:
            readable, _, _ = select.select([self.connection], [], [], wait)
            return bool(readable) and not self.connection.recv(1)
        except (OSError, ValueError, ssl.SSLError):
            return True

    def endless_chunks(self):
        piece = b"%x\r\n%s\r\n" % (len(PIECE), PIECE)
        deadline = time.monotonic() + LONGEST
        try:
            while time.monotonic() < deadline:
                self.wfile.write(piece)
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError, OSError):
            pass
        self.close_connection = True

    def trickle(self, data, pause):
        deadline = time.monotonic() + LONGEST
        try:
            for i in range(len(data)):
                if time.monotonic() > deadline or self.client_gone(pause):
                    break
                self.wfile.write(data[i:i + 1])
                self.wfile.flush()
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError, OSError):
            pass
        self.close_connection = True

    def basic_ok(self):
        expected = "Basic " + base64.b64encode(
            ("%s:%s" % (self.server.user, self.server.password)).encode()).decode()
        return self.headers.get("Authorization", "") == expected

    def digest_ok(self):
        value = self.headers.get("Authorization", "")
        if not value.startswith("Digest "):
            return False
        fields = dict((k, v1 or v2) for k, v1, v2 in
                      re.findall(r'(\w+)=(?:"([^"]*)"|([^,\s]*))', value[7:]))
        if fields.get("username") != self.server.user or fields.get("nonce") not in self.server.nonces:
            return False
        ha1 = md5("%s:%s:%s" % (self.server.user, REALM, self.server.password))
        ha2 = md5("%s:%s" % (self.command, fields.get("uri", "")))
        expected = md5("%s:%s:%s:%s:%s:%s" % (ha1, fields["nonce"], fields.get("nc", ""),
                                              fields.get("cnonce", ""), fields.get("qop", ""), ha2))
        return fields.get("response") == expected

    def handle_any(self):
        body = self.read_body()
        self.record(body)
        if self.server.refusing_proxy:
            if self.server.endless_refusal:
                self.send_response(407)
                self.send_header("Proxy-Authenticate", 'Basic realm="%s"' % REALM)
                self.send_header("Transfer-Encoding", "chunked")
                self.end_headers()
                self.endless_chunks()
                return
            self.reply(407, b"", [("Proxy-Authenticate", 'Basic realm="%s"' % REALM)])
            return
        # --answer-as: a client with a fixed path still gets the mode under test.
        path = self.server.answer_as or self.path.split("?")[0]
        if path == "/close":
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)
            return
        if path == "/silent":
            deadline = time.monotonic() + LONGEST
            while time.monotonic() < deadline and not self.client_gone(0.5):
                pass
            self.close_connection = True
            return
        if path == "/endless":
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            self.endless_chunks()
            return
        match = re.fullmatch(r"/trickle/(\d+)/(\d+)", path)
        if match:
            count, pause = int(match.group(1)), int(match.group(2)) / 1000
            self.send_response(200)
            self.send_header("Content-Length", str(count))
            self.end_headers()
            self.wfile.flush()
            self.trickle(b"".join(pattern(count)), pause)
            return
        match = re.fullmatch(r"/tricklehead/(\d+)", path)
        if match:
            self.wfile.write(b"HTTP/1.1 200 OK\r\nX-Slow: ")
            self.trickle(b"x" * 100000, int(match.group(1)) / 1000)
            return
        match = re.fullmatch(r"/status/(\d{3})", path)
        if match:
            self.reply(int(match.group(1)), b"status page")
            return
        if path.startswith("/basic/") and not self.basic_ok():
            self.reply(401, b"who are you", [("WWW-Authenticate", 'Basic realm="%s"' % REALM)])
            return
        if path.startswith("/digest/") and not self.digest_ok():
            nonce = secrets.token_hex(16)
            self.server.nonces.add(nonce)
            challenge = 'Digest realm="%s", nonce="%s", qop="auth", algorithm=MD5' % (REALM, nonce)
            self.reply(401, b"who are you", [("WWW-Authenticate", challenge)])
            return
        match = re.fullmatch(r"/chunked/(\d+)", path)
        if match:
            self.send_response(200)
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            for piece in pattern(int(match.group(1))):
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
            self.wfile.write(b"0\r\n\r\n")
            return
        match = re.fullmatch(r"/hold/(\d+)", path)
        if match:
            count = int(match.group(1))
            self.send_response(200)
            self.send_header("Content-Length", str(count))
            self.end_headers()
            self.wfile.flush()
            release = os.path.join(self.server.record_dir, "release")
            deadline = time.monotonic() + 30
            while not os.path.exists(release):
                if time.monotonic() > deadline:
                    self.close_connection = True
                    self.connection.shutdown(socket.SHUT_RDWR)
                    return
                time.sleep(0.02)
            for piece in pattern(count):
                self.wfile.write(piece)
            return
        match = re.fullmatch(r"/truncated/(\d+)", path)
        if match:
            count = int(match.group(1))
            self.send_response(200)
            self.send_header("Content-Length", str(count))
            self.end_headers()
            for piece in pattern(count // 2):
                self.wfile.write(piece)
            self.wfile.flush()
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)
            return
        match = re.fullmatch(r"/bytes/(\d+)", path)
        if match:
            count = int(match.group(1))
            self.send_response(200)
            self.send_header("Content-Length", str(count))
            self.end_headers()
            try:
                for piece in pattern(count):
                    self.wfile.write(piece)
            except (BrokenPipeError, ConnectionResetError, ssl.SSLError):
                self.close_connection = True
            return
        self.reply(200, b"OK")


class Server(ThreadingHTTPServer):
    daemon_threads = True

    def finish_request(self, request, client_address):
        # The TLS handshake runs on the request's own thread, so a client that
        # refuses the certificate cannot stall the others.
        if self.refusing_proxy:
            return super().finish_request(request, client_address)
        try:
            request = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return
        super().finish_request(request, client_address)

    def handle_error(self, request, client_address):
        pass  # a client that went away is not the server's error


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--record-dir", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--user", default="user")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--refusing-proxy", action="store_true")
    parser.add_argument("--endless-refusal", action="store_true")
    parser.add_argument("--answer-as", default="")
    parser.add_argument("--address", default="127.0.0.1")
    args = parser.parse_args()

    server = Server((args.address, args.port), Handler)
    server.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    server.context.load_cert_chain(args.cert, args.key)
    server.record_dir = args.record_dir
    server.user, server.password = args.user, args.password
    server.lock = threading.Lock()
    server.count = 0
    server.nonces = set()
    server.refusing_proxy = args.refusing_proxy
    server.endless_refusal = args.endless_refusal
    server.answer_as = args.answer_as
    with open(args.port_file + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.rename(args.port_file + ".tmp", args.port_file)
    sys.stdout.flush()
    server.serve_forever()


if __name__ == "__main__":
    main()
