#!/usr/bin/env python3
"""Times DownloadFile under Wine against the loopback server of the wine-http
build, beside curl on the host fetching the same URLs, and prints the figures
(it checks nothing beyond the bytes that arrived):

1. many small files (default 200 of 4 KB), all in one download_probe.exe
   process, one DownloadFile call after the other with the progress window up,
   as the update pass makes them;
2. one large file (default 256 MB), and a small one of 16 MB for comparison,
   with the peak resident memory of the Wine process that runs the download:
   memory must not grow with the file's size.

Times are host wall-clock seconds of whole processes. A Wine process also pays
its start-up, so the time of download_probe.exe doing nothing (its usage
error) is printed and subtracted for the "transfers alone" figure. Memory is
read from /proc/<pid>/status (VmHWM, the kernel's peak resident set, and the
largest VmRSS seen) of every process whose command line names
download_probe.exe, sampled every 20 ms until it exits: that is the Windows
process itself (wine-preloader mapping the program), not the wineserver.

Uses the Wine bench's prefix and ports, so it takes the bench's session lock
(already held when started under flock); build the wine-http preset first:

    flock /tmp/wine-bench.lock /usr/bin/python3 benchmarks/download_bench.py [--small N] [--large-mb M]

The files go to C:\\download-bench in the prefix and are deleted afterwards.
"""
import argparse
import hashlib
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
from bench.prefix import WinePrefix  # noqa: E402
from bench.server import UpdateServer  # noqa: E402

SMALL_SIZE = 4096
TARGET_FOLDER = "C:\\download-bench"
PROBE_NAME = "download_probe.exe"


def pattern(size, seed):
    """Distinct, incompressible-enough bytes without holding two copies."""
    block = hashlib.sha256(seed.encode()).digest() * 128  # 4 KB
    return (block * (size // len(block) + 1))[:size]


def probe_processes():
    """{pid: its first argument} of the processes whose command line names the
    probe (the Windows process)."""
    found = {}
    for entry in pathlib.Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            arguments = (entry / "cmdline").read_bytes().split(b"\0")
        except OSError:
            continue
        if any(PROBE_NAME.encode() in argument for argument in arguments):
            found[int(entry.name)] = arguments[0].decode("utf-8", "replace")
    return found


def folder_bytes(folder):
    return sum(p.stat().st_size for p in folder.rglob("*") if p.is_file())


def memory_kb(pid):
    """(VmHWM, VmRSS) in kB, or None once the process is gone."""
    try:
        fields = dict(line.split(":", 1) for line in
                      pathlib.Path(f"/proc/{pid}/status").read_text().splitlines())
        return int(fields["VmHWM"].split()[0]), int(fields["VmRSS"].split()[0])
    except (OSError, KeyError, ValueError):
        return None


class ProbeRun:
    """One download_probe.exe process: wall time, exit code, output lines and
    the peak memory of the Windows process."""

    def __init__(self, prefix, arguments):
        self.prefix = prefix
        self.arguments = arguments

    def run(self):
        output = paths.SCRATCH / "download_bench.out"
        peak_hwm = peak_rss = 0
        self.measured = {}
        # Output through a file: Wine's desktop process would hold a pipe open.
        with output.open("wb") as out:
            start = time.perf_counter()
            process = subprocess.Popen(
                [paths.WINE_LOADER, paths.program("download_probe"), *self.arguments],
                env=self.prefix.env, stdin=subprocess.DEVNULL, stdout=out,
                stderr=subprocess.DEVNULL)
            while process.poll() is None:
                for pid, program in probe_processes().items():
                    self.measured[pid] = program
                    figures = memory_kb(pid)
                    if figures:
                        peak_hwm = max(peak_hwm, figures[0])
                        peak_rss = max(peak_rss, figures[1])
                time.sleep(0.02)
            self.seconds = time.perf_counter() - start
        self.code = process.returncode
        self.lines = output.read_text("utf-8", "replace").splitlines()
        self.peak_hwm_kb, self.peak_rss_kb = peak_hwm, peak_rss
        return self


def startup_seconds(prefix, runs=3):
    """What a download_probe.exe process costs that fetches nothing."""
    samples = [ProbeRun(prefix, []).run().seconds for _ in range(runs)]
    return statistics.median(samples)


def curl_seconds(urls, folder):
    """One curl process fetching the URLs in turn over one connection."""
    config = pathlib.Path(folder) / "urls.cfg"
    config.write_text("".join(f'url = "{url}"\noutput = "{folder}/{i}.dat"\n'
                              for i, url in enumerate(urls)))
    start = time.perf_counter()
    subprocess.run(["curl", "-sS", "--fail", "-K", str(config)], check=True)
    seconds = time.perf_counter() - start
    for i in range(len(urls)):
        (pathlib.Path(folder) / f"{i}.dat").unlink()
    return seconds


def fetch(prefix, server, files, window):
    """Serves files ({relative name: bytes}) and fetches them all in one
    probe process into TARGET_FOLDER; checks that every byte arrived."""
    base = paths.base_url("wine-http")
    server.clear()
    arguments = [] if window else ["--no-window"]
    for name, body in files.items():
        server.serve("/cv3down/" + name, body)
        arguments += [base + name, TARGET_FOLDER + "\\" + name.replace("/", "\\"), name]
    target = prefix.host_path(TARGET_FOLDER)
    shutil.rmtree(target, ignore_errors=True)
    try:
        run = ProbeRun(prefix, arguments).run()
        assert run.code == 0, (run.code, run.lines[-3:])
        for name, body in files.items():
            stored = target / name
            assert stored.stat().st_size == len(body), name
            if len(body) <= 1 << 20:
                assert stored.read_bytes() == body, name
        stored_files = sum(1 for p in target.rglob("*") if p.is_file())
        assert stored_files == len(files), "a temporary file was left behind"
    finally:
        shutil.rmtree(target, ignore_errors=True)
    return run, [base + urllib.parse.quote(name) for name in files]


def report(label, run, startup, curl, size):
    transfers = max(run.seconds - startup, 1e-6)
    print(f"{label}")
    print(f"  download_probe.exe under Wine, whole process {run.seconds:9.3f} s")
    print(f"  the same, less Wine start-up ({startup:.3f} s)    {transfers:9.3f} s"
          f"   {size / transfers / 1e6:8.1f} MB/s")
    print(f"  curl on the host, one process               {curl:9.3f} s"
          f"   {size / curl / 1e6:8.1f} MB/s")
    print(f"  ratio Wine / curl: whole process {run.seconds / curl:.1f},"
          f" transfers alone {transfers / curl:.1f}")
    print(f"  peak memory of the Wine process: VmHWM {run.peak_hwm_kb / 1024:.1f} MB,"
          f" largest VmRSS seen {run.peak_rss_kb / 1024:.1f} MB"
          f" (sampled: {', '.join(f'{pid} {name}' for pid, name in run.measured.items())})")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--small", type=int, default=200, help="number of 4 KB files")
    parser.add_argument("--large-mb", type=int, default=256, help="size of the large file")
    parser.add_argument("--no-window", action="store_true",
                        help="download without the progress window")
    parser.add_argument("--nagle", action="store_true",
                        help="leave Nagle's algorithm on for the server's connections")
    options = parser.parse_args()
    bench_server._Handler.disable_nagle_algorithm = not options.nagle
    if not shutil.which("curl"):
        sys.exit("curl is needed on the host")
    free = shutil.disk_usage(paths.BUILD).free
    if free < 3 * options.large_mb << 20:
        sys.exit(f"not enough free space under {paths.BUILD} for {options.large_mb} MB twice")

    with paths.session_lock():
        run_all(options)


def run_all(options):
    prefix = WinePrefix()
    prefix.prepare()
    prefix.start()
    port = urllib.parse.urlsplit(paths.base_url("wine-http")).port
    window = not options.no_window
    try:
        with UpdateServer(port) as server, tempfile.TemporaryDirectory(dir=paths.BUILD) as folder:
            startup = startup_seconds(prefix)
            print(f"DownloadFile under Wine ({'with' if window else 'without'} the progress"
                  f" window) against curl on the host, loopback HTTP, port {port},"
                  f" Nagle's algorithm {'on' if options.nagle else 'off'} on the server")

            small = {f"small/file{i:03}.dat": pattern(SMALL_SIZE, f"small{i}")
                     for i in range(options.small)}
            run, urls = fetch(prefix, server, small, window)
            report(f"(a) {options.small} files of {SMALL_SIZE} bytes", run, startup,
                   curl_seconds(urls, folder), options.small * SMALL_SIZE)

            cache = prefix.user_folder / "AppData/Local/Microsoft/Windows/INetCache"
            for megabytes in (16, options.large_mb):
                size = megabytes << 20
                files = {f"large{megabytes}.dat": pattern(size, "large")}
                cached_before = folder_bytes(cache)
                run, urls = fetch(prefix, server, files, window)
                report(f"(b) one file of {megabytes} MB", run, startup,
                       curl_seconds(urls, folder), size)
                print(f"  internet cache grew by {folder_bytes(cache) - cached_before} bytes")
                del files
    finally:
        shutil.rmtree(prefix.host_path(TARGET_FOLDER), ignore_errors=True)
        prefix.stop()


if __name__ == "__main__":
    main()
