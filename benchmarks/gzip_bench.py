"""What crv3publish --gzip saves on a slow link, and what it costs the
publisher. Prints figures; not a test.

1. The publisher's time with and without --gzip for publish_bench's
   2,000-file, 100 MB release (random bytes: every file is compressed and
   none saves a tenth, so this is --gzip's worst case) and for the release
   below.
2. A release of real Windows binaries (DLLs of Debian's Wine package, copied
   at run time) plus text and random data files, about 45 MB, published with
   and without --gzip, served by nginx with gzip_static, over a loopback link
   of 20 Mbit/s: the benchmark runs again under `unshare -n` (root), puts a
   token bucket on that namespace's own `lo` and runs nginx, Wine and the
   launcher inside it (lo's MTU is set to 1500 there: the bucket drops any
   packet larger than its burst). A first install and an update of five files
   (three DLLs, a text and a random file) each way, side by side: bytes nginx
   sent (its log) and wall time.

    /usr/bin/python3 benchmarks/gzip_bench.py

It takes /tmp/wine-bench.lock only for the launcher runs (part 2).
"""
import os
import pathlib
import random
import shutil
import signal
import subprocess
import sys
import time
import urllib.parse

REPO = pathlib.Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "wine"))
sys.path.insert(0, str(REPO / "benchmarks"))

from bench import paths, pki  # noqa: E402
from bench.paths import WINE_DLLS  # noqa: E402
from bench.launcher import Runner  # noqa: E402
from bench.nginx import NginxServer  # noqa: E402
from bench.prefix import WinePrefix  # noqa: E402
from bench.update_checks import BASE_PATH, boxes, file_requests  # noqa: E402
from publish_bench import PUBLISHER, make_release, timed  # noqa: E402

WORK = REPO / "build" / "gzip-bench"
DLL_BYTES = 36 * 2**20
LINK = ["tbf", "rate", "20mbit", "burst", "32kbit", "latency", "400ms"]
LINK_TIMEOUT_S = 1500
RUN_TIMEOUT_MS = 300000


def pick_dlls():
    """Every other DLL of 200 KB to 4 MB in name order, about DLL_BYTES in
    all, and three of the others, which the update puts in place of three."""
    dlls = [p for p in sorted(WINE_DLLS.glob("*.dll")) if 200_000 <= p.stat().st_size <= 4_000_000]
    chosen, total = [], 0
    for dll in dlls[::2]:
        if total >= DLL_BYTES:
            break
        chosen.append(dll)
        total += dll.stat().st_size
    return chosen, dlls[1::2][:3]


def words(rng, size):
    """Text data: lines of words, as game or configuration text compresses."""
    vocabulary = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9)))
                  for _ in range(3000)]
    out = bytearray()
    while len(out) < size:
        out += b" ".join(rng.choice(vocabulary) for _ in range(12)) + b"\r\n"
    return bytes(out[:size])


def make_binary_release(root):
    """The release and what the update changes: {name: bytes} each."""
    if not WINE_DLLS.is_dir():
        sys.exit(f"{WINE_DLLS} is missing: run tools/setup")
    rng = random.Random(18)
    dlls, replacements = pick_dlls()
    release = {"crv3v2.exe": paths.program("fake_app").read_bytes()}
    release.update({f"bin/{dll.name}": dll.read_bytes() for dll in dlls})
    release.update({f"data/text{i}.txt": words(rng, 1_000_000) for i in range(4)})
    release.update({f"data/pack{i}.dat": rng.randbytes(1_000_000) for i in range(4)})
    update = {f"bin/{dll.name}": new.read_bytes() for dll, new in zip(dlls[:3], replacements)}
    update["data/text0.txt"] = words(rng, 1_000_000)
    update["data/pack0.dat"] = rng.randbytes(1_000_000)
    write_tree(root, release)
    return release, update


def write_tree(root, files):
    for name, body in files.items():
        (root / name).parent.mkdir(parents=True, exist_ok=True)
        (root / name).write_bytes(body)


def publisher_times():
    """Part 1; returns the folders part 2 serves."""
    release = WORK / "release-2000"
    make_release(release)
    for label, options in (("without --gzip", []), ("with --gzip", ["--gzip"])):
        shutil.rmtree(WORK / "served-2000", ignore_errors=True)
        served = WORK / "served-2000"
        seconds = timed([str(PUBLISHER), str(release), "--out", str(served), *options])
        gz = len(list(served.rglob("*.gz")))
        print(f"crv3publish, 2,000 files / 100 MB of random bytes, {label:15} {seconds:7.3f} s "
              f"({gz} .gz written)")
    shutil.rmtree(release)
    shutil.rmtree(WORK / "served-2000")

    files, update = make_binary_release(WORK / "release")
    total = sum(map(len, files.values()))
    print(f"release of real binaries: {len(files)} files, {total / 2**20:.1f} MB "
          f"({sum(n.startswith('bin/') for n in files)} Wine DLLs, text and random data)")
    for label, options in (("plain", []), ("gzip", ["--gzip"])):
        first = WORK / f"{label}-first"
        seconds = timed([str(PUBLISHER), str(WORK / "release"), "--out", str(first), *options])
        gz = sorted(first.rglob("*.gz"))
        print(f"crv3publish, that release, {label:5}: {seconds:7.3f} s, {len(gz)} .gz of "
              f"{sum(p.stat().st_size for p in gz) / 2**20:.1f} MB")
    write_tree(WORK / "release", update)
    for label, options in (("plain", []), ("gzip", ["--gzip"])):
        shutil.copytree(WORK / f"{label}-first", WORK / f"{label}-update")
        served = str(WORK / f"{label}-update")
        seconds = timed([str(PUBLISHER), str(WORK / "release"), "--out", served, "--previous",
                         served, *options])
        print(f"crv3publish, republish of {len(update)} changed files, {label:5}: {seconds:7.3f} s")


def slow_link_runs():
    """Part 2, inside the network namespace: the link first, then the runs."""
    for command in (["ip", "link", "set", "lo", "mtu", "1500"], ["ip", "link", "set", "lo", "up"],
                    ["tc", "qdisc", "add", "dev", "lo", "root", *LINK]):
        subprocess.run(command, check=True)
    pki.ensure(paths.PKI)
    port = urllib.parse.urlsplit(paths.base_url("wine-https")).port
    nginx = NginxServer(port, pki.server_files(paths.PKI, "trusted"), WORK / "nginx",
                        gzip_static=True)
    with paths.session_lock(), WinePrefix().running() as prefix, nginx:
        runner = Runner(prefix)
        rows = []
        for label in ("plain", "gzip"):
            prefix.reset()
            for step in ("first", "update"):
                nginx.serve_folder(WORK / f"{label}-{step}", BASE_PATH)
                nginx.clear_requests()
                start = time.perf_counter()
                result = runner.run(preset="wine-https", relay=False, timeout_ms=RUN_TIMEOUT_MS,
                                    child_wait_ms=2000)
                seconds = time.perf_counter() - start
                sent = sum(size for _, size in nginx.bytes_sent)
                rows.append((label, step, seconds, sent, len(file_requests(nginx)),
                             [caption for caption, _, _ in boxes(result)]))
    print("launcher under Wine, nginx gzip_static, loopback limited to 20 Mbit/s "
          f"({' '.join(LINK)}):")
    print(f"  {'publication':12} {'run':8} {'wall time':>10} {'bytes sent':>14} {'files':>6}"
          "  boxes")
    for label, step, seconds, sent, fetched, shown in rows:
        print(f"  {label:12} {step:8} {seconds:8.1f} s {sent:14,} {fetched:6}  {shown}")
    for step in ("first", "update"):
        plain, gzip = (next(r for r in rows if r[:2] == (label, step))
                       for label in ("plain", "gzip"))
        print(f"  {step}: --gzip sends {gzip[3] / plain[3]:.0%} of the bytes in "
              f"{gzip[2] / plain[2]:.0%} of the time")


def run_inside_slow_link(command, timeout_s):
    """Runs the Python command in a network namespace of its own, where it
    limits the loopback link itself. Its own process group, so that a run past
    the time limit ends with everything it started (nginx, Wine) and leaves
    the lock."""
    inside = subprocess.Popen(["unshare", "-n", sys.executable, *command], start_new_session=True)
    try:
        inside.wait(timeout=timeout_s)
    except subprocess.TimeoutExpired:
        os.killpg(inside.pid, signal.SIGKILL)
        inside.wait()
        print(f"the slow-link runs took longer than {timeout_s} s and were stopped")


def main():
    if sys.argv[1:] == ["--inside-slow-link"]:
        slow_link_runs()
        return
    launcher = paths.launcher("wine-https")
    if not PUBLISHER.exists() or not launcher.exists():
        sys.exit(f"build the native and wine-https presets first ({PUBLISHER}, {launcher})")
    shutil.rmtree(WORK, ignore_errors=True)
    WORK.mkdir(parents=True)
    publisher_times()
    try:
        run_inside_slow_link([__file__, "--inside-slow-link"], LINK_TIMEOUT_S)
    finally:
        shutil.rmtree(WORK, ignore_errors=True)


if __name__ == "__main__":
    main()
