#!/usr/bin/env python3
"""Times what list digests cost under Wine, against the loopback server of the
wine-http build, and prints the figures (it checks only that the bytes
arrived):

1. a first install of N small files (default 2,000 of 1 KB) by the launcher,
   from a list without digests and from one with a digest on every line;
2. a first install of one large file (default 256 MB), the same two ways;
3. SHA-256 of that large file through CNG under Wine (crypto_probe.exe)
   beside sha256sum on the host;
4. the launcher's share of a small file: M files (default 200, a command
   line holds no more) fetched in one download_probe.exe by a bare
   URLDownloadToFileW loop (the floor of the URL services), by DownloadFile
   without the window, with it, and with it and digests;
5. with --signed-before LAUNCHER (a crv3launcher.exe of the signed preset
   built before release numbers), the signature check and the kept release
   number: a first install of the N files from a signed, numbered list over
   HTTPS and the run that follows it with nothing to do, by that launcher
   and by the wine-https-signed build in turn, twice.

Launcher runs are timed from its start to its completion box (the driver's
clock); probe runs are whole Wine processes (host clock) less a probe start
that does nothing.

Uses the Wine bench's prefix and ports, so run it under the bench's lock,
after the wine-http preset is built:

    flock /tmp/wine-bench.lock /usr/bin/python3 benchmarks/verified_bench.py \\
        [--files N] [--large-mb L] [--probe-files M] [--signed-before LAUNCHER] [--only-signed]
"""
import argparse
import hashlib
import pathlib
import subprocess
import sys
import time
import urllib.parse

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tests" / "wine"))

from bench import paths, pki, server as bench_server  # noqa: E402
from bench.launcher import Runner  # noqa: E402
from bench.prefix import WinePrefix  # noqa: E402
from bench.server import UpdateServer  # noqa: E402

BASE_PATH = "/cv3down/"
LIST_PATH = BASE_PATH + "filelist.txt"
SMALL_SIZE = 1024
PROBE_FOLDER = "C:\\verified-bench"


def small_files(count, size=SMALL_SIZE):
    return {f"pack{i % 8}/file{i:05}.dat": (f"{i:05}".encode() * size)[:size]
            for i in range(count)}


def large_body(megabytes):
    block = hashlib.sha256(b"large").digest() * 2048  # 64 KB
    return block * (megabytes * 16)


def list_text(files, digests):
    def line(name, body):
        digest = "|" + hashlib.sha256(body).hexdigest() if digests else ""
        return f"{name}|1{digest}\r\n".encode()
    return b"".join(line(name, body) for name, body in sorted(files.items()))


def serve_release(prefix, runner, server, files):
    """A clean prefix and a server with files and crv3v2.exe, but no list."""
    prefix.reset()
    server.clear()
    for name, body in files.items():
        server.serve(BASE_PATH + name, body)
    server.serve(BASE_PATH + "crv3v2.exe", runner.fake_app.read_bytes())


def install_seconds(prefix, runner, server, files, digests):
    """Start to completion box of a first install of files (and crv3v2.exe)."""
    serve_release(prefix, runner, server, files)
    server.serve(LIST_PATH, list_text({**files, "crv3v2.exe": runner.fake_app.read_bytes()},
                                      digests))
    result = runner.run(relay=False, timeout_ms=1800000)
    installed = prefix.app_files()
    missing = [n for n, b in files.items() if installed.get(n) != b]
    assert not missing and not result.timed_out, (
        len(missing), missing[:3], result.timed_out, [b.text[:200] for b in result.boxes])
    assert [b.caption for b in result.boxes] == ["알림"], [b.text[:200] for b in result.boxes]
    started = next(e for e in result.events if e["event"] == "started")
    box = next(e for e in result.events if e["event"] == "message_box")
    return (box["time_ms"] - started["time_ms"]) / 1000


def timed_install(prefix, runner, server, files, digests, attempts=3):
    """install_seconds, repeated when a transfer failed (a loaded machine
    now and then drops one of thousands of loopback connections)."""
    for attempt in range(attempts):
        try:
            return install_seconds(prefix, runner, server, files, digests)
        except AssertionError as failure:
            print(f"  (attempt {attempt + 1} failed: {str(failure)[:160]})")
    sys.exit("no complete install")


def compare_installs(label, prefix, runner, server, files):
    plain = timed_install(prefix, runner, server, files, digests=False)
    hashed = timed_install(prefix, runner, server, files, digests=True)
    per_file = f"   {hashed * 1000 / len(files):6.2f} ms/file" if len(files) > 1 else ""
    print(f"{label}")
    print(f"  without digests {plain * 1000:10.1f} ms")
    print(f"  with digests    {hashed * 1000:10.1f} ms{per_file}")
    print(f"  ratio with / without: {hashed / plain:.3f}")


def wine_seconds(prefix, *arguments):
    start = time.perf_counter()
    done = prefix.wine(*arguments, capture_output=True, text=True, timeout=1800)
    return time.perf_counter() - start, done


def hash_throughput(prefix, megabytes):
    body = large_body(megabytes)
    target = prefix.host_path("C:\\verified-bench.bin")
    target.write_bytes(body)
    try:
        _, done = wine_seconds(prefix, paths.program("crypto_probe"), "sha256",
                               "C:\\verified-bench.bin")
        digest, size, seconds = done.stdout.split()
        assert digest == hashlib.sha256(body).hexdigest() and int(size) == len(body), done
        start = time.perf_counter()
        subprocess.run(["sha256sum", str(target)], check=True, stdout=subprocess.DEVNULL)
        host = time.perf_counter() - start
    finally:
        target.unlink()
    print(f"SHA-256 of {megabytes} MB")
    print(f"  CNG under Wine (Sha256OfFile) {float(seconds) * 1000:9.1f} ms"
          f"   {megabytes / float(seconds):7.1f} MB/s")
    print(f"  sha256sum on the host         {host * 1000:9.1f} ms   {megabytes / host:7.1f} MB/s")


def probe_arguments(files, base, digests):
    arguments = ["--digests"] if digests else []
    for i, (name, body) in enumerate(sorted(files.items())):
        arguments += [base + urllib.parse.quote(name), f"{PROBE_FOLDER}\\{i}.dat", f"{i}.dat"]
        if digests:
            arguments.append(hashlib.sha256(body).hexdigest())
    return arguments


def probe_figures(prefix, server, count):
    files = small_files(count, 4096)
    server.clear()
    for name, body in files.items():
        server.serve(BASE_PATH + name, body)
    base = paths.base_url("wine-http")
    probe = paths.program("download_probe")
    startup = min(wine_seconds(prefix, probe)[0] for _ in range(3))
    modes = [("bare URLDownloadToFileW loop", ["--bare"], False),
             ("DownloadFile without the window", ["--no-window"], False),
             ("DownloadFile with the window", [], False),
             ("DownloadFile with the window and digests", [], True)]
    print(f"Per small file: {count} files of 4 KB in one download_probe.exe"
          f" (start-up of {startup * 1000:.0f} ms taken off)")
    folder = prefix.host_path(PROBE_FOLDER)
    for label, options, digests in modes:
        folder.mkdir(exist_ok=True)
        seconds, done = wine_seconds(prefix, probe, *options,
                                     *probe_arguments(files, base, digests))
        assert done.returncode == 0, done.stdout[-500:]
        for child in folder.iterdir():
            child.unlink()
        print(f"  {label:<42} {(seconds - startup) * 1000 / count:6.2f} ms/file")
    folder.rmdir()


def signed_seconds(prefix, runner, server, files, launcher):
    """A signed launcher's first install (start to completion box) of files
    from a signed list numbered 1, and its next run's whole time (host
    clock), which has nothing to do."""
    from test_verified import sign  # the bench's test key, as the preset was built with
    serve_release(prefix, runner, server, files)
    app = runner.fake_app.read_bytes()
    text = list_text({**files, "crv3v2.exe": app}, True).replace(b"\r\n", b"|r1\r\n", 1)
    server.serve(LIST_PATH, text)
    server.serve(LIST_PATH + ".sig", sign(text))
    result = runner.run(launcher=launcher, relay=False, timeout_ms=1800000)
    installed = prefix.app_files()
    assert all(installed.get(n) == b for n, b in files.items()), "incomplete install"
    started = next(e for e in result.events if e["event"] == "started")
    box = next(e for e in result.events if e["event"] == "message_box")
    start = time.perf_counter()
    idle = runner.run(launcher=launcher, relay=False, timeout_ms=600000)
    idle_seconds = time.perf_counter() - start
    assert not idle.boxes and len(server.requests) == len(files) + 1 + 4, len(server.requests)
    return (box["time_ms"] - started["time_ms"]) / 1000, idle_seconds


def compare_signed(prefix, runner, files, before):
    pki.ensure(paths.PKI)
    port = urllib.parse.urlsplit(paths.base_url("wine-https-signed")).port
    launchers = [("before", before), ("after", paths.launcher("wine-https-signed"))] * 2
    with UpdateServer(port, tls=pki.server_files(paths.PKI, "trusted")) as server:
        figures = [(label, *signed_seconds(prefix, runner, server, files, launcher))
                   for label, launcher in launchers]
    print(f"Signed, numbered list over HTTPS: {len(files)} files of {SMALL_SIZE} bytes")
    for label, install, idle in figures:
        print(f"  {label:<6} first install {install * 1000:10.1f} ms"
              f"   nothing to do, whole run {idle * 1000:8.1f} ms")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--files", type=int, default=2000)
    parser.add_argument("--large-mb", type=int, default=256)
    parser.add_argument("--probe-files", type=int, default=200)
    parser.add_argument("--signed-before", type=pathlib.Path)
    parser.add_argument("--only-signed", action="store_true")
    options = parser.parse_args()
    bench_server._Handler.disable_nagle_algorithm = True

    port = urllib.parse.urlsplit(paths.base_url("wine-http")).port
    with WinePrefix().running() as prefix, UpdateServer(port) as server:
        runner = Runner(prefix)
        if options.signed_before:
            compare_signed(prefix, runner, small_files(options.files), options.signed_before)
        if options.only_signed:
            return
        compare_installs(f"First install: {options.files} files of {SMALL_SIZE} bytes",
                         prefix, runner, server, small_files(options.files))
        compare_installs(f"First install: one file of {options.large_mb} MB",
                         prefix, runner, server, {"large.bin": large_body(options.large_mb)})
        hash_throughput(prefix, options.large_mb)
        probe_figures(prefix, server, options.probe_files)


if __name__ == "__main__":
    main()
