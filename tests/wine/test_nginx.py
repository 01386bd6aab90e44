"""The launcher against nginx, a web server nobody here wrote: HTTPS with the
bench's test authority, keep-alive, sendfile, and gzip for text (the list and
the .txt files arrive compressed and chunked). A first install, a run with
nothing to do and an update of files in folders and with Hangul names, and a
signed release from crv3publish, each checked with the run invariant."""
import urllib.parse

import pytest

from bench import invariant, paths, pki
from bench.nginx import NginxServer
from bench.update_checks import BASE_PATH, DONE, LIST_PATH, file_requests, list_text
from test_verified import SIGNED, TEST_KEY, check_invariant_over_https


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


def test_signed_release_published_by_the_windows_build_installs(bench, prefix, nginx, tmp_path):
    """crv3publish.exe signs through Wine's CNG with the key file OpenSSL
    wrote; the signed launcher takes the list, its signature and every digest."""
    release = {"crv3v2.exe": paths.program("fake_app").read_bytes(),
               "data/core.dat": bytes(range(256)) * 512, "한글/안내.txt": text("안내", 1)}
    for name, body in release.items():
        (tmp_path / "release" / name).parent.mkdir(parents=True, exist_ok=True)
        (tmp_path / "release" / name).write_bytes(body)
    folders = [paths.windows_path(p) for p in (tmp_path / "release", tmp_path / "served", TEST_KEY)]
    published = prefix.wine(paths.BUILD / SIGNED / "crv3publish.exe", folders[0], "--out",
                            folders[1], "--key", folders[2], capture_output=True, timeout=120)
    assert published.returncode == 0, published.stderr
    served = {p.relative_to(tmp_path / "served").as_posix(): p.read_bytes()
              for p in (tmp_path / "served").rglob("*") if p.is_file()}
    assert len(served["filelist.txt.sig"]) == 129
    for name, body in served.items():
        nginx.serve(BASE_PATH + name, body)
    before = invariant.snapshot(prefix)

    result = bench.run(preset=SIGNED, relay=False, child_wait_ms=3000)

    check_invariant_over_https(prefix, before, result, nginx)
    assert result.exit_code == 0 and len(result.started) == 1
    files = prefix.app_files()
    assert {n: files[n] for n in release} == release
    assert files["local_list.txt"] == served["filelist.txt"]
