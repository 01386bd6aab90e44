"""The launcher against nginx, a web server nobody here wrote: HTTPS with the
bench's test authority, keep-alive, sendfile, and gzip for text (the list and
the .txt files arrive compressed and chunked). A first install, a run with
nothing to do and an update of files in folders and with Hangul names, and a
signed release from crv3publish, each checked with the run invariant; and a
release published with --gzip, which nginx serves from its .gz files
(gzip_static)."""
import random
import urllib.parse

import pytest

from bench import invariant, paths, pki
from bench.nginx import NginxServer
from bench.paths import WINE_DLLS
from bench.update_checks import BASE_PATH, DONE, LIST_PATH, file_requests, list_text
from test_download import STATUS, bar, samples_of
from test_publish import NATIVE, publish_native, require, write_tree
from test_verified import SIGNED, TEST_KEY, check_invariant_over_https



def start_nginx(**options):
    """nginx on the port the wine-https launcher asks (the bench's own HTTPS
    server is not running meanwhile)."""
    pki.ensure(paths.PKI)
    port = urllib.parse.urlsplit(paths.base_url("wine-https")).port
    return NginxServer(port, pki.server_files(paths.PKI, "trusted"), paths.BUILD / "wine-nginx",
                       **options)


@pytest.fixture
def nginx(ports):
    with start_nginx() as server:
        yield server


@pytest.fixture
def nginx_gzip_static(ports):
    with start_nginx(gzip_static=True) as server:
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
    published = prefix.wine(paths.publisher(SIGNED), folders[0], "--out",
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


def percentages_by_file(result):
    """{shown name: [percentages]} in the order the status line showed them."""
    shown = {}
    for call in result.calls_named("SetWindowTextW"):
        if match := STATUS.match(call.args[1].text):
            shown.setdefault(match.group(1), []).append(int(match.group(2)))
    return shown


def gzip_release():
    noise = random.Random(18).randbytes(200000)
    return {"crv3v2.exe": paths.program("fake_app").read_bytes(),
            "wininet.dll": (WINE_DLLS / "wininet.dll").read_bytes(),
            "urlmon.dll": (WINE_DLLS / "urlmon.dll").read_bytes(),
            "readme.txt": text("readme", 1), "한글/자료.dat": noise}


def publish_with_gzip_and_run(bench, prefix, server, tmp_path, release, *options):
    """Publishes the release with --gzip, serves it and runs the launcher,
    checking the run invariant; returns the result and {name: bytes sent}."""
    source, served = tmp_path / "release", tmp_path / "served"
    write_tree(source, release)
    published = publish_native(source, "--out", served, "--gzip", *options)
    assert published.returncode == 0, published.stderr
    server.serve_folder(served, BASE_PATH)
    server.clear_requests()
    before = invariant.snapshot(prefix)

    result = bench.run(preset="wine-https", child_wait_ms=3000)

    invariant.check(prefix, before, result, server)
    assert result.exit_code == 0 and [b.brief()[:2] for b in result.boxes] == [DONE[:2]]
    files = prefix.app_files()
    assert {n: files[n] for n in release} == release
    assert files["local_list.txt"] == (served / "filelist.txt").read_bytes()
    return result, {path.decode()[len(BASE_PATH):]: size for path, size in server.bytes_sent}


def test_a_gzip_publication_installs_byte_exact_from_its_gz_files(bench, prefix,
                                                                 nginx_gzip_static, tmp_path):
    """nginx with gzip_static and no compression of its own sends each file's
    .gz, a third of a DLL's bytes; a republish's .gz follows its changed file."""
    require(NATIVE)
    release = gzip_release()
    update = {"wininet.dll": (WINE_DLLS / "winhttp.dll").read_bytes(),
              "readme.txt": text("readme", 2)}
    served = tmp_path / "served"
    runs = [("first install", {}, (), sorted(release)),
            ("update", update, ("--previous", served), sorted(update))]

    for label, changes, options, fetched in runs:
        release.update(changes)
        result, sent = publish_with_gzip_and_run(bench, prefix, nginx_gzip_static, tmp_path,
                                                 release, *options)

        assert sorted(file_requests(nginx_gzip_static)) == fetched, label
        # Each request got the .gz where the publisher wrote one: all but the noise.
        gzipped = {n for n in [*fetched, "filelist.txt"] if (served / (n + ".gz")).exists()}
        assert gzipped == {*fetched, "filelist.txt"} - {"한글/자료.dat"}, label
        for name in gzipped:
            assert sent[name] == (served / (name + ".gz")).stat().st_size, (label, name)
        assert sum(sent.values()) < 0.5 * sum(len(release[n]) for n in fetched), label
        check_progress(result, label)


def check_progress(result, label):
    """The bar and the status line's percentage stay within 0-100 and never go
    back within a file, whether the sizes reported are compressed or decoded.
    (Wine's urlmon reports no size for a body it decodes, so such a file shows
    no percentage; the unit table covers the sizes other platforms report.)"""
    shown = percentages_by_file(result)
    for name, percentages in shown.items():
        assert percentages == sorted(percentages), (label, name, percentages)
        assert set(percentages) <= set(range(101)), (label, name, percentages)
    positions = [bar(s)["pos"] for s in samples_of(result) if bar(s)["pos"] is not None]
    assert all(0 <= p <= 100 for p in positions), (label, positions)
