"""nginx, a third-party web server, as the update server: started on
loopback with a configuration, pid file, logs and temporary folders of its own
under build/, HTTPS with the bench's test authority, HTTP/1.1 keep-alive,
sendfile, and gzip for text, or instead (gzip_static=True) the "NAME.gz" a
publisher wrote beside NAME. It never touches the system's nginx service.

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
    log_format bench '$request_method $request_uri $status $body_bytes_sent';
    access_log {run}/access.log bench;
    client_body_temp_path {run}/body;
    proxy_temp_path {run}/proxy;
    fastcgi_temp_path {run}/fastcgi;
    uwsgi_temp_path {run}/uwsgi;
    scgi_temp_path {run}/scgi;
    sendfile on;
    tcp_nopush on;
    keepalive_timeout 30s;
    keepalive_requests 1000;
    {compression}
    server {{
        listen 127.0.0.1:{port} ssl;
        server_name localhost;
        ssl_certificate {certificate};
        ssl_certificate_key {key};
        root {root};
    }}
}}
"""


# Compressing text per request, or serving the .gz files beside the files.
GZIP_ON_THE_FLY = "gzip on; gzip_types text/plain; gzip_min_length 1;"
GZIP_STATIC = "gzip off; gzip_static on;"


class NginxServer:
    def __init__(self, port, tls, directory, gzip_static=False):
        self.port = port
        self.compression = GZIP_STATIC if gzip_static else GZIP_ON_THE_FLY
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
            certificate=certificate, key=key, root=self.root, compression=self.compression))
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

    def serve_folder(self, folder, base):
        """Serves exactly the files of a folder below `base` ("/cv3down/"):
        what it served there before is gone."""
        shutil.rmtree(self.root / base.strip("/"), ignore_errors=True)
        self.routes = {k: r for k, r in self.routes.items() if not k.startswith(base.encode())}
        for path in sorted(folder.rglob("*")):
            if path.is_file():
                self.serve(base + path.relative_to(folder).as_posix(), path.read_bytes())

    def _logged(self):
        """(method, uri, decoded path, status, body bytes sent) per request."""
        log = self.directory / "run" / "access.log"
        for line in (log.read_text().splitlines() if log.exists() else []):
            method, uri, status, sent = line.split(" ")
            path = urllib.parse.unquote_to_bytes(uri.split("?")[0])
            yield method, uri, path, int(status), int(sent)

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
        return [Request(method, uri, path, {}, 0.0, status)
                for method, uri, path, status, _ in self._logged()]

    @property
    def bytes_sent(self):
        """[(decoded path, body bytes sent)] for every request, in order."""
        return [(path, sent) for _, _, path, _, sent in self._logged()]

    def body_bytes_sent(self, path):
        """The body bytes nginx handed to the connection for each request of
        path (str paths are UTF-8), in order."""
        wanted = _path_key(path)
        return [sent for logged, sent in self.bytes_sent if logged == wanted]

    def clear_requests(self):
        (self.directory / "run" / "access.log").write_text("")
