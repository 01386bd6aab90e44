"""crv3publish: the Windows build under Wine writes byte for byte what the
native build writes, and the launcher installs what it publishes, then
fetches exactly the files a republish changed."""
import os
import subprocess

import pytest

from bench import paths
from bench.update_checks import (BASE_PATH, DONE, LIST_PATH, app_files, boxes, byte_order,
                                 file_requests)

NATIVE = paths.BUILD / "native" / "publish" / "crv3publish"
WINDOWS = paths.publisher("wine-http")


def release_files(fake_app):
    """A small release: nested folders, Hangul names, .ini files."""
    files = {"crv3v2.exe": fake_app, "readme.txt": b"read me\r\n",
             "config.ini": b"[graphics]\r\nquality=low\r\n",
             "data/levels/one.dat": bytes(range(256)) * 40, "data/Two.dat": b"two",
             "도움말/안내.txt": "안내 1판\r\n".encode("cp949"),
             "도움말/설정/기본.ini": b"[basic]\r\n", "Zeta.dll": b"MZ zeta"}
    files.update({f"data/many/f{i:02}.bin": bytes([i]) * (i * 100) for i in range(12)})
    return files


def write_tree(root, files):
    for name, content in files.items():
        (root / name).parent.mkdir(parents=True, exist_ok=True)
        (root / name).write_bytes(content)


def read_tree(root):
    return {str(p.relative_to(root)): p.read_bytes() for p in sorted(root.rglob("*"))
            if p.is_file()}


def require(*programs):
    missing = [str(p) for p in programs if not p.exists()]
    if missing:
        pytest.fail("build the native and wine-http presets first; missing: " + ", ".join(missing),
                    pytrace=False)


def publish_native(*args):
    return subprocess.run([NATIVE, *map(str, args)], capture_output=True, timeout=120)


def publish_windows(prefix, *args):
    """crv3publish.exe under Wine; folders are given as host paths."""
    arguments = [paths.windows_path(a) if hasattr(a, "exists") else a for a in args]
    return prefix.wine(WINDOWS, *arguments, capture_output=True, timeout=120)


def serve_folder(server, folder):
    """The update server serves the folder as it stands; the list as well."""
    server.clear()
    for name, content in read_tree(folder).items():
        server.serve(BASE_PATH + name, content)
    assert (BASE_PATH + "filelist.txt").encode() in server.routes


# With --gzip both builds write the same .gz bytes (zlib, best compression,
# a header without name, time or host).
@pytest.mark.parametrize("options", [(), ("--gzip",)])
def test_windows_build_writes_what_the_native_build_writes(prefix, bench, tmp_path, options):
    require(NATIVE, WINDOWS)
    release = tmp_path / "release"
    # A file large enough for a block index, which both builds write in the
    # read that hashes it, and which never gets a .gz.
    write_tree(release, {**release_files(b"MZ app"), "data/big.pak": bytes(range(256)) * 32768})

    native = publish_native(release, "--out", tmp_path / "native", *options)
    windows = publish_windows(prefix, release, "--out", tmp_path / "windows", *options)

    assert (native.returncode, windows.returncode) == (0, 0), (native.stderr, windows.stderr)
    assert read_tree(tmp_path / "windows") == read_tree(tmp_path / "native")
    listed = (tmp_path / "native" / "filelist.txt").read_bytes()
    assert "도움말/설정/기본.i.zip|1|".encode("cp949") in listed
    gzipped = [n for n in read_tree(tmp_path / "native") if n.endswith(".gz")]
    assert ("data/levels/one.dat.gz" in gzipped and "filelist.txt.gz" in gzipped) == bool(options)
    assert "data/big.pak.crv3blocks" in read_tree(tmp_path / "native")
    assert "data/big.pak.gz" not in gzipped and b"crv3blocks" not in listed

    # A republish in place, comparing with the previous publication.
    write_tree(release, {"도움말/안내.txt": "안내 2판\r\n".encode("cp949")})
    native = publish_native(release, "--out", tmp_path / "native", "--previous",
                            tmp_path / "native", *options)
    windows = publish_windows(prefix, release, "--out", tmp_path / "windows", "--previous",
                              tmp_path / "windows", *options)

    assert (native.returncode, windows.returncode) == (0, 0), (native.stderr, windows.stderr)
    assert read_tree(tmp_path / "windows") == read_tree(tmp_path / "native")
    assert "도움말/안내.txt|2|".encode("cp949") in (tmp_path / "windows/filelist.txt").read_bytes()
    assert not list(tmp_path.glob("*.crv3publish"))


@pytest.mark.parametrize("name, message", [
    ("\U0001F389.txt", "\U0001F389.txt: cannot be written in code page 949"),
    ("Readme.TXT", "readme.txt: Windows stores it as the same file as Readme.TXT"),
    ("FileList.Txt.SIG", "FileList.Txt.SIG: would be served in place of the list's signature"),
])
def test_windows_build_refuses_with_one_line_and_writes_nothing(prefix, bench, tmp_path, name,
                                                                message):
    require(WINDOWS)
    release = tmp_path / "release"
    write_tree(release, {**release_files(b"MZ app"), name: b"x"})

    result = publish_windows(prefix, release, "--out", tmp_path / "served")

    assert result.returncode == 2
    lines = result.stderr.decode("utf-8").splitlines()
    assert len(lines) == 1 and lines[0].startswith("error: " + message), lines
    assert sorted(p.name for p in tmp_path.iterdir()) == ["release"]


# Files and folders are told apart by their Windows identity (volume serial
# number and file index), not by their paths: a hard link to the key, or the
# key in the served folder named in another letter case, which Windows (and
# Wine) open as the same folder.
# (No symbolic link case here: Wine 8.0 shows a Unix link to a file as the
# file itself, with no reparse point for the handle to refuse.)
@pytest.mark.parametrize("key_folder, key_as, message", [
    ("keys", "keys", "data/k.txt: is the private key given with --key"),
    ("served", "SERVED", "SERVED/k.pem: the private key lies in"),
])
def test_windows_build_refuses_its_key_however_it_is_named(prefix, bench, tmp_path, key_folder,
                                                          key_as, message):
    require(NATIVE, WINDOWS)
    assert publish_native("keygen", tmp_path / key_folder / "k.pem").returncode == 0
    release = tmp_path / "release"
    write_tree(release, release_files(b"MZ app"))
    if key_folder == "keys":
        os.link(tmp_path / "keys" / "k.pem", release / "data" / "k.txt")
    before = sorted(p.name for p in tmp_path.iterdir())

    result = publish_windows(prefix, release, "--out", tmp_path / "served", "--key",
                             tmp_path / key_as / "k.pem")

    assert result.returncode == 2
    lines = result.stderr.decode("utf-8").splitlines()
    assert len(lines) == 1 and message in lines[0].replace("\\", "/"), lines
    assert sorted(p.name for p in tmp_path.iterdir()) == before


# The launcher tests whether a listed file is present under its listed name,
# so an .ini served as .i.zip is fetched again on every run; --keep-ini
# serves it under its own name.
@pytest.mark.parametrize("options, fetched_every_run", [
    ((), ["config.i.zip"]),
    (("--keep-ini",), []),
])
def test_launcher_installs_a_publication_then_fetches_exactly_the_changed_files(
        bench, prefix, http_server, tmp_path, options, fetched_every_run):
    require(NATIVE)
    files = release_files(bench.fake_app.read_bytes())
    release, served = tmp_path / "release", tmp_path / "served"
    write_tree(release, files)
    assert publish_native(release, "--out", served, *options).returncode == 0
    serve_folder(http_server, served)

    first = bench.run()

    assert first.exit_code == 0 and boxes(first) == [DONE]
    served_names = [n for n in read_tree(served)
                    if n not in ("filelist.txt", "version_history.txt")]
    assert file_requests(http_server) == byte_order(served_names)
    assert app_files(prefix) == {**files, "local_list.txt": (served / "filelist.txt").read_bytes()}

    changed = {"data/levels/one.dat": b"new levels", "도움말/설정/기본.ini": b"[basic]\r\nx=1\r\n",
               "도움말/안내.txt": "안내 2판\r\n".encode("cp949")}
    write_tree(release, changed)
    assert publish_native(release, "--out", served, "--previous", served,
                          *options).returncode == 0
    serve_folder(http_server, served)

    second = bench.run()

    assert second.exit_code == 0 and boxes(second) == [DONE]
    ini = "도움말/설정/기본.ini" if options else "도움말/설정/기본.i.zip"
    assert file_requests(http_server) == byte_order(
        ["data/levels/one.dat", ini, "도움말/안내.txt", *fetched_every_run])
    assert app_files(prefix) == {**files, **changed,
                                 "local_list.txt": (served / "filelist.txt").read_bytes()}
