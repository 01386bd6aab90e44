"""The launcher against nginx, a web server nobody here wrote: HTTPS with the
bench's test authority, keep-alive, sendfile, and gzip for text (the list and
the .txt files arrive compressed and chunked). A first install, a run with
nothing to do and an update of files in folders and with Hangul names, each
checked with the run invariant."""
import urllib.parse

import pytest

from bench import invariant, paths, pki
from bench.nginx import NginxServer
from bench.update_checks import BASE_PATH, DONE, LIST_PATH, file_requests, list_text


@pytest.fixture
def nginx(ports):
    """nginx on the port the wine-https launcher asks (the bench's own HTTPS
    server is not running meanwhile)."""
    pki.ensure(paths.PKI)
    port = urllib.parse.urlsplit(paths.base_url("wine-https")).port
    with NginxServer(port, pki.server_files(paths.PKI, "trusted"),
                     paths.BUILD / "wine-nginx") as server:
        yield server


def text(name, release):
    return f"{name}, release {release}\r\n".encode() * 300


def listed(release, changed):
    """The list of a release: version 2 for the changed names, 1 for the rest."""
    return list_text([(name, 2 if name in changed else 1) for name in release])


def publish(server, release, changed):
    server.serve(LIST_PATH, listed(release, changed))
    for name, body in release.items():
        server.serve(BASE_PATH + name, body)


def test_install_nothing_to_do_and_update(bench, prefix, nginx):
    fake_app = paths.program("fake_app").read_bytes()
    first = {"crv3v2.exe": fake_app, "readme.txt": text("readme", 1),
             "data/core.dat": bytes(range(256)) * 512, "한글/안내.txt": text("안내", 1),
             "한글/자료 1.dat": bytes(range(255, -1, -1)) * 64}
    update = {**first, "data/core.dat": bytes(range(256)) * 700,
              "한글/안내.txt": text("안내", 2), "한글/새 파일.dat": b"new" * 5000}
    changed = ["data/core.dat", "한글/새 파일.dat", "한글/안내.txt"]
    runs = [("first install", first, [], sorted(first)),
            ("nothing to do", first, [], []),
            ("update", update, changed, changed)]

    for label, release, changed, fetched in runs:
        publish(nginx, release, changed)
        nginx.clear_requests()
        before = invariant.snapshot(prefix)

        result = bench.run(preset="wine-https", relay=False, child_wait_ms=3000)

        invariant.check(prefix, before, result, nginx)
        assert result.exit_code == 0 and len(result.started) == 1, label
        assert [b.brief()[:2] for b in result.boxes] == ([DONE[:2]] if fetched else []), label
        assert sorted(file_requests(nginx)) == fetched, label
        files = prefix.app_files()
        assert {n: files[n] for n in release} == release, label
        assert files["local_list.txt"] == listed(release, changed), label
