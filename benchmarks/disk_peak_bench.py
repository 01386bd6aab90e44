#!/usr/bin/env python3
"""Measures the disk a large download needs under Wine and prints the
figures: nginx of the wine-https build serves a sparse file (default
4,563,402,752 bytes, past 4 GB) that takes no disk, download_probe.exe fetches
it with DownloadFile into C:\\corvane3, and the space used under the prefix's
drive C: is sampled every half second (du) from before the transfer to its
end. It prints the peak extra bytes and their ratio to the file's size, the
time, and the bytes left in the internet cache afterwards.

The peak is the platform's cache copy and the staged file, whole at the end
of the transfer; the launcher deletes the cache entry right after. It needs
about twice the size free under build/, and refuses to start otherwise. Uses
the Wine bench's prefix and ports, so it takes the bench's session lock:

    flock /tmp/wine-bench.lock /usr/bin/python3 benchmarks/disk_peak_bench.py [--bytes N]
"""
import argparse
import pathlib
import shutil
import subprocess
import sys
import threading
import time
import urllib.parse

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "tests" / "wine"))

from bench import invariant, paths, pki  # noqa: E402
from bench.nginx import NginxServer  # noqa: E402
from bench.prefix import WinePrefix  # noqa: E402

TARGET = "C:\\corvane3\\pack.dat"


def used_bytes(folder):
    done = subprocess.run(["du", "-s", "--block-size=1", str(folder)], capture_output=True,
                          text=True, check=True)
    return int(done.stdout.split()[0])


class PeakSampler:
    """The largest growth of the space used under folder while it runs."""

    def __init__(self, folder):
        self.folder = folder
        self.base = used_bytes(folder)
        self.peak = 0
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._sample)

    def _sample(self):
        while not self._stop.is_set():
            self.peak = max(self.peak, used_bytes(self.folder) - self.base)
            self._stop.wait(0.5)

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._stop.set()
        self._thread.join()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bytes", type=int, default=2**32 + 2**28)
    size = parser.parse_args().bytes
    free = shutil.disk_usage(paths.BUILD).free
    if free < 2 * size + 2**30:
        sys.exit(f"needs {(2 * size + 2**30) / 2**30:.1f} GB free under build/, "
                 f"{free / 2**30:.1f} GB are")
    pki.ensure(paths.PKI)
    base = paths.base_url("wine-https")
    port = urllib.parse.urlsplit(base).port
    with paths.session_lock(), WinePrefix().running() as prefix, \
            NginxServer(port, pki.server_files(paths.PKI, "trusted"),
                        paths.BUILD / "wine-nginx") as server:
        server.serve_sparse("/cv3down/pack.dat", size)
        prefix.reset()
        try:
            with PeakSampler(prefix.drive_c) as sampler:
                start = time.perf_counter()
                done = prefix.wine(paths.program("download_probe", "wine-https"), "--no-window",
                                   base + "pack.dat", TARGET, "pack.dat", capture_output=True,
                                   text=True, timeout=3600)
                seconds = time.perf_counter() - start
            stored = prefix.host_path(TARGET)
            assert done.returncode == 0 and stored.stat().st_size == size, done.stdout
            cached = sum(bytes_ for bytes_, _ in invariant._cache_files(prefix).values())
        finally:
            prefix.reset()
    print(f"One file of {size:,} bytes through DownloadFile (nginx, HTTPS, loopback)")
    print(f"  time                     {seconds:9.1f} s   {size / seconds / 2**20:7.1f} MB/s")
    print(f"  peak extra disk          {sampler.peak:,} bytes = {sampler.peak / size:.2f} x the file")
    print(f"  left in the cache after  {cached:,} bytes")


if __name__ == "__main__":
    main()
