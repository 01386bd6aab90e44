"""The update server on loopback: plain HTTP or HTTPS, serving per path a
chosen body with chosen faults, and recording every request."""
import dataclasses
import gzip
import http.server
import socket
import ssl
import struct
import threading
import time
import urllib.parse


@dataclasses.dataclass
class Route:
    """How one path is answered.

    body: the bytes of a complete answer. status: the HTTP status.
    delay: seconds to wait before the status line.
    rate: bytes per second for the body (None: as fast as possible).
    content_length: False leaves the length unannounced; the connection then
        ends the body.
    cut_after: announce the whole length, send only this many body bytes, then
        close the connection.
    reset_after: send this many body bytes, then reset the connection.
    headers: extra response headers.
    gzip: to a request that accepts gzip, send the body gzip-compressed with
        "Content-Encoding: gzip" and the compressed length announced, as IIS
        static compression does.
    on_request: called with the handler before anything is sent (for faults
        no field describes, e.g. stopping the server).
    endless: no length announced; the body, then line ends without end, at
        `rate`, until the client goes away or the server stops.
    """
    body: bytes = b""
    status: int = 200
    delay: float = 0.0
    rate: float | None = None
    content_length: bool = True
    cut_after: int | None = None
    reset_after: int | None = None
    headers: dict = dataclasses.field(default_factory=dict)
    gzip: bool = False
    on_request: object = None
    endless: bool = False


@dataclasses.dataclass
class Request:
    method: str
    raw_path: str       # as sent, percent-encoding included
    path: bytes         # percent-decoded
    headers: dict
    time: float
    status: int         # the status the route answered with


def _path_key(path):
    """Routes are keyed by the decoded path bytes; str paths are UTF-8."""
    return path.encode("utf-8") if isinstance(path, str) else path


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    # The head and the body of an answer go out in separate writes; with
    # Nagle's algorithm every kept-alive answer would then wait for the
    # client's delayed acknowledgement (about 40 ms).
    disable_nagle_algorithm = True

    def log_message(self, *args):
        pass

    def do_GET(self):
        self._answer(send_body=True)

    def do_HEAD(self):
        self._answer(send_body=False)

    def _answer(self, send_body):
        bench = self.server.bench
        raw_path = self.path.split("?", 1)[0]
        key = urllib.parse.unquote_to_bytes(raw_path)
        route = bench.routes.get(key) or Route(body=b"not found", status=404)
        bench.requests.append(Request(self.command, self.path, key, dict(self.headers),
                                      time.monotonic(), route.status))
        if route.on_request:
            route.on_request(self)
        if route.delay:
            time.sleep(route.delay)
        self.send_response(route.status)
        for name, value in route.headers.items():
            self.send_header(name, value)
        body = route.body
        if route.gzip and "gzip" in self.headers.get("Accept-Encoding", ""):
            body = gzip.compress(body)
            self.send_header("Content-Encoding", "gzip")
        if route.content_length and not route.endless:
            self.send_header("Content-Length", str(len(body)))
        else:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        if not send_body:
            return
        if route.endless:
            self._send(body, route.rate)
            filler = b"\r\n" * 32768
            while bench._server is not None and self._send(filler, route.rate):
                pass
            return
        for limit, ending in ((route.reset_after, self._reset), (route.cut_after, self._close)):
            if limit is not None:
                self._send(body[:limit], route.rate)
                ending()
                return
        self._send(body, route.rate)

    def _send(self, data, rate):
        """False once the client is gone."""
        try:
            if not rate:
                self.wfile.write(data)
                return True
            piece = max(1, int(rate / 20))
            for start in range(0, len(data), piece):
                self.wfile.write(data[start:start + piece])
                self.wfile.flush()
                time.sleep(piece / rate)
            return True
        except OSError:
            self.close_connection = True
            return False

    def _close(self):
        self.wfile.flush()
        self.close_connection = True

    def _reset(self):
        self.wfile.flush()
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.close_connection = True


class _Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        pass  # clients that give up (refused certificates, resets) are expected


class UpdateServer:
    """A server on 127.0.0.1:port, answering from `routes`.

    With tls=(certificate file, key file) it speaks HTTPS."""

    def __init__(self, port, tls=None):
        self.port = port
        self.tls = tls
        self.routes = {}
        self.requests = []
        self._server = None
        self._thread = None

    def start(self):
        server = _Server(("127.0.0.1", self.port), _Handler)
        if self.tls:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(*map(str, self.tls))
            server.socket = context.wrap_socket(server.socket, server_side=True,
                                                do_handshake_on_connect=False)
        server.bench = self
        self.port = server.server_address[1]  # the one chosen when asked for port 0
        self._server = server
        self._thread = threading.Thread(target=server.serve_forever, daemon=True)
        self._thread.start()
        return self

    def stop(self):
        if self._server:
            self._server.shutdown()
            self._server.server_close()
            self._thread.join()
            self._server = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def serve(self, path, body=b"", **options):
        self.routes[_path_key(path)] = Route(body=body, **options)

    def clear(self):
        self.routes.clear()
        self.requests.clear()

    def requests_for(self, path):
        key = _path_key(path)
        return [r for r in self.requests if r.path == key]
