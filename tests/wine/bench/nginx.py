"""nginx, a third-party web server, as the update server: started on
loopback with a configuration, pid file, logs and temporary folders of its own
under build/, HTTPS with the bench's test authority, HTTP/1.1 keep-alive,
sendfile, and gzip for text. It never touches the system's nginx service.

Like UpdateServer it has `routes` (what each path serves, for
bench/invariant.py) and `requests` (read from its access log)."""
import os
import pwd
import shutil
import subprocess
import time
import urllib.parse

from .server import Request, Route, _path_key

CONFIG = """\
daemon off;
user {user};
worker_processes 1;
pid {run}/nginx.pid;
error_log {run}/error.log;
events {{ worker_connections 64; }}
http {{
    types {{ text/plain txt; application/octet-stream dat exe; }}
    default_type application/octet-stream;
    log_format bench '$request_method $request_uri $status';
    access_log {run}/access.log bench;
    log_format sent '$request_uri $body_bytes_sent';
    access_log {run}/sent.log sent;
    client_body_temp_path {run}/body;
    proxy_temp_path {run}/proxy;
    fastcgi_temp_path {run}/fastcgi;
    uwsgi_temp_path {run}/uwsgi;
    scgi_temp_path {run}/scgi;
    sendfile on;
    tcp_nopush on;
    keepalive_timeout 30s;
    keepalive_requests 1000;
    gzip on;
    gzip_types text/plain;
    gzip_min_length 1;
    server {{
        listen 127.0.0.1:{port} ssl;
        server_name localhost;
        ssl_certificate {certificate};
        ssl_certificate_key {key};
        root {root};
    }}
}}
"""


class NginxServer:
    def __init__(self, port, tls, directory):
        self.port = port
        self.tls = tls
        self.directory = directory
        self.root = directory / "root"
        self.routes = {}
        self._process = None

    def start(self):
        shutil.rmtree(self.directory, ignore_errors=True)
        (self.directory / "run").mkdir(parents=True)
        self.root.mkdir()
        config = self.directory / "nginx.conf"
        certificate, key = self.tls
        config.write_text(CONFIG.format(
            user=pwd.getpwuid(os.geteuid()).pw_name, run=self.directory / "run", port=self.port,
            certificate=certificate, key=key, root=self.root))
        self._process = subprocess.Popen(["nginx", "-c", str(config), "-p", str(self.directory)],
                                         stderr=subprocess.PIPE)
        deadline = time.monotonic() + 10
        while not (self.directory / "run" / "nginx.pid").exists():
            if self._process.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("nginx did not start: " + self._process.stderr.read().decode())
            time.sleep(0.05)
        return self

    def stop(self):
        if self._process:
            self._process.terminate()
            self._process.wait(timeout=10)
            self._process = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def serve(self, path, body):
        """Publishes body as the file at path (str paths are UTF-8)."""
        key = _path_key(path)
        target = self.root / os.fsdecode(key.lstrip(b"/"))
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(body)
        self.routes[key] = Route(body=body)

    def serve_sparse(self, path, size, marks=None):
        """Publishes a file of size bytes at path that takes next to no disk:
        zeros but for marks ({offset: bytes}). It stays out of `routes` (its
        body is not held in memory); returns its host path."""
        target = self.root / os.fsdecode(_path_key(path).lstrip(b"/"))
        target.parent.mkdir(parents=True, exist_ok=True)
        with open(target, "wb") as file:
            file.truncate(size)
            for offset, data in (marks or {}).items():
                file.seek(offset)
                file.write(data)
        return target

    @property
    def requests(self):
        log = self.directory / "run" / "access.log"
        found = []
        for line in (log.read_text().splitlines() if log.exists() else []):
            method, uri, status = line.split(" ")
            found.append(Request(method, uri, urllib.parse.unquote_to_bytes(uri.split("?")[0]),
                                 {}, 0.0, int(status)))
        return found

    def body_bytes_sent(self, path):
        """The body bytes nginx handed to the connection for each request of
        path (str paths are UTF-8), in order."""
        log = self.directory / "run" / "sent.log"
        wanted = _path_key(path)
        return [int(sent) for uri, sent in
                (line.split(" ") for line in (log.read_text().splitlines() if log.exists() else []))
                if urllib.parse.unquote_to_bytes(uri.split("?")[0]) == wanted]

    def clear_requests(self):
        (self.directory / "run" / "access.log").write_text("")
