#!/usr/bin/env python3
"""Times the launcher's update under Wine against the loopback server of the
wine-http build, and prints the figures (it checks nothing):

1. a run that finds nothing to do against a list of N entries whose files
   are all installed, beside the bare fetch of the same list by
   list_fetch_probe.exe (both whole Wine processes started from the host);
2. a first install of N small files, beside curl on the host fetching the
   same URLs one after the other.

Uses the Wine bench's prefix and ports, so run it under the bench's lock,
after the wine-http preset is built:

    flock /tmp/wine-bench.lock /usr/bin/python3 benchmarks/update_bench.py [--files N] [--runs R]
        [--nagle]
"""
import argparse
import json
import pathlib
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.parse

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tests" / "wine"))

from bench import paths, server as bench_server  # noqa: E402
from bench.launcher import Runner  # noqa: E402
from bench.prefix import WinePrefix  # noqa: E402
from bench.server import UpdateServer  # noqa: E402

LIST_PATH = "/cv3down/filelist.txt"
FILE_SIZE = 1024


def release(count):
    """N small files in a few folders, with distinct contents."""
    return {f"pack{i % 8}/file{i:05}.dat": (f"{i:05}".encode() * FILE_SIZE)[:FILE_SIZE]
            for i in range(count)}


def list_text(names):
    return b"".join(name.encode() + b"|1\r\n" for name in names)


def wall_seconds(command, env):
    start = time.perf_counter()
    completed = subprocess.run(command, env=env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=600)
    return time.perf_counter() - start, completed


def describe(label, samples):
    print(f"  {label:<52} median {statistics.median(samples) * 1000:8.1f} ms"
          f"   min {min(samples) * 1000:8.1f} ms   ({len(samples)} runs)")
    return statistics.median(samples)


def nothing_to_do(prefix, runner, server, count, runs):
    files = release(count)
    prefix.reset()
    runner.install_release({**files, "crv3v2.exe": b"fake_app"})
    text = list_text(sorted(files) + ["crv3v2.exe"])
    (prefix.app_dir / "local_list.txt").write_bytes(text)
    server.serve(LIST_PATH, text)

    env = prefix.env
    launcher = paths.windows_path(paths.launcher("wine-http"))
    probe = paths.windows_path(paths.program("list_fetch_probe"))
    launcher_runs, probe_runs, fetch_ms = [], [], []
    for _ in range(runs):
        seconds, completed = wall_seconds([paths.WINE_LOADER, launcher], env)
        assert completed.returncode == 0, completed
        launcher_runs.append(seconds)
        seconds, completed = wall_seconds([paths.WINE_LOADER, probe], env)
        figures = json.loads(completed.stdout.decode().strip().splitlines()[-1])
        assert figures["bytes"] == len(text), figures
        probe_runs.append(seconds)
        fetch_ms.append(figures["fetch_ms"] / 1000)
    requests = [r for r in server.requests if r.path != LIST_PATH.encode()]
    assert not requests, "the run with nothing to do downloaded files"

    print(f"Nothing to do: {count} entries, all installed; list of {len(text)} bytes")
    launcher_median = describe("crv3launcher.exe, whole run (wine, host clock)", launcher_runs)
    probe_median = describe("list_fetch_probe.exe, whole run (wine, host clock)", probe_runs)
    describe("list_fetch_probe.exe, FetchServerList alone", fetch_ms)
    print(f"  ratio launcher / bare fetch (whole runs): {launcher_median / probe_median:.2f}")


def first_install(prefix, runner, server, count):
    files = release(count)
    prefix.reset()
    server.clear()
    for name, body in files.items():
        server.serve("/cv3down/" + name, body)
    server.serve("/cv3down/crv3v2.exe", runner.fake_app.read_bytes())
    server.serve(LIST_PATH, list_text(sorted(files) + ["crv3v2.exe"]))

    start = time.perf_counter()
    result = runner.run(relay=False, timeout_ms=1800000)
    wall = time.perf_counter() - start
    installed = prefix.app_files()
    missing = [n for n in files if installed.get(n.replace("/", "\\")) != files[n]
               and installed.get(n) != files[n]]
    assert not missing and not result.timed_out, (
        missing[:5], result.timed_out, [(b.caption, b.text[:300]) for b in result.boxes])
    boxes = [e for e in result.events if e["event"] == "message_box"]
    started = next(e for e in result.events if e["event"] == "started")
    to_box = (boxes[0]["time_ms"] - started["time_ms"]) / 1000

    base = paths.base_url("wine-http")
    with tempfile.TemporaryDirectory() as folder:
        config = pathlib.Path(folder) / "urls.cfg"
        config.write_text("".join(
            f'url = "{base}{urllib.parse.quote(name)}"\noutput = "{folder}/{i}.dat"\n'
            for i, name in enumerate(sorted(files))))
        curl_one, _ = wall_seconds(["curl", "-sS", "--fail", "-K", str(config)], None)
        fetched = len(list(pathlib.Path(folder).glob("*.dat")))
        assert fetched == count, fetched
        start = time.perf_counter()
        for i, name in enumerate(sorted(files)):
            subprocess.run(["curl", "-sS", "--fail", "-o", f"{folder}/p{i}.dat",
                            f"{base}{urllib.parse.quote(name)}"], check=True)
        curl_each = time.perf_counter() - start

    print(f"First install: {count} files of {FILE_SIZE} bytes (and crv3v2.exe)")
    print(f"  launcher, start to completion box (driver clock) {to_box * 1000:10.1f} ms"
          f"   {to_box * 1000 / count:6.2f} ms/file")
    print(f"  launcher, whole driven run (host clock)          {wall * 1000:10.1f} ms")
    print(f"  curl, one process, same URLs in turn            {curl_one * 1000:10.1f} ms"
          f"   {curl_one * 1000 / count:6.2f} ms/file")
    print(f"  curl, one process per URL                       {curl_each * 1000:10.1f} ms"
          f"   {curl_each * 1000 / count:6.2f} ms/file")
    print(f"  ratio launcher / curl one process: {to_box / curl_one:.1f};"
          f" launcher / curl per URL: {to_box / curl_each:.1f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--files", type=int, default=2000)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--nagle", action="store_true",
                        help="leave Nagle's algorithm on for the server's connections, which "
                             "costs a delayed acknowledgement (about 40 ms) per kept-alive answer")
    options = parser.parse_args()
    bench_server._Handler.disable_nagle_algorithm = not options.nagle
    if not shutil.which("curl"):
        sys.exit("curl is needed on the host")

    port = urllib.parse.urlsplit(paths.base_url("wine-http")).port
    with WinePrefix().running() as prefix, UpdateServer(port) as server:
        runner = Runner(prefix)
        nothing_to_do(prefix, runner, server, options.files, options.runs)
        first_install(prefix, runner, server, options.files)


if __name__ == "__main__":
    main()
