"""What updating a large file by its blocks saves on a slow link. Prints
figures; not a test.

A pack of random bytes (--size-mb, default 1024) is installed as pack.dat
with the fake application, and the launcher under Wine updates it from nginx
over a loopback link of 20 Mbit/s (the link of gzip_bench: `unshare -n`, a
token bucket on that namespace's own `lo`). Each case starts from the same
installed pack:

1. whole: the pack with 1% changed in 100 scattered places, published and then
   served without its block index, so it is fetched whole as before;
2. scattered: the same pack served with its index;
3. insert: 1 MB inserted at the front of the pack, with its index;
4. cut: case 1 killed once the progress shows 90%, then the next run.

For each run: the body bytes nginx sent (its log), the wall time of the run
and the peak resident memory (VmHWM) of the launcher's Windows process.

    /usr/bin/python3 benchmarks/block_update_bench.py [--size-mb N]

It needs root (for the namespace), the native and wine-https presets built,
and about seven times the pack's size free under build/.
"""
import argparse
import filecmp
import os
import pathlib
import random
import shutil
import subprocess
import sys
import threading
import time
import urllib.parse

REPO = pathlib.Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "wine"))
sys.path.insert(0, str(REPO / "benchmarks"))

from bench import paths, pki  # noqa: E402
from bench.launcher import Runner  # noqa: E402
from bench.nginx import NginxServer  # noqa: E402
from bench.prefix import WinePrefix  # noqa: E402
from bench.update_checks import BASE_PATH, boxes  # noqa: E402
from gzip_bench import LINK, run_inside_slow_link  # noqa: E402
from publish_bench import PUBLISHER  # noqa: E402

WORK = REPO / "build" / "block-update-bench"
NAME = "pack.dat"
PIECE = 16 << 20
CHANGED_PLACES = 100
INSERTED = 1 << 20
LINK_TIMEOUT_S = 7200


def write_random(out, size, rng):
    for done in range(0, size, PIECE):
        out.write(rng.randbytes(min(PIECE, size - done)))


def make_packs(size):
    """The installed pack and its two changed versions, written in pieces."""
    rng = random.Random(25)
    base, scattered, inserted = (WORK / f"{n}.dat" for n in ("base", "scattered", "inserted"))
    with base.open("wb") as out:
        write_random(out, size, rng)
    shutil.copyfile(base, scattered)
    stretch = size // 100 // CHANGED_PLACES
    with scattered.open("r+b") as out:
        for place in range(CHANGED_PLACES):
            out.seek(place * (size // CHANGED_PLACES) + size // (2 * CHANGED_PLACES))
            out.write(rng.randbytes(stretch))
    with inserted.open("wb") as out, base.open("rb") as original:
        out.write(rng.randbytes(INSERTED))
        shutil.copyfileobj(original, out, PIECE)
    return {"base": base, "scattered": scattered, "inserted": inserted}


def publish(label, pack):
    """crv3publish over a release of the fake application and the pack."""
    release, served = WORK / f"release-{label}", WORK / f"served-{label}"
    release.mkdir()
    shutil.copyfile(paths.program("fake_app", "wine-https"), release / "crv3v2.exe")
    os.link(pack, release / NAME)
    subprocess.run([PUBLISHER, release, "--out", served], check=True, capture_output=True)
    shutil.rmtree(release)
    return served


def serve(nginx, served, with_index=True):
    """Links the published files into nginx's root (no copy of the pack)."""
    root = nginx.root / BASE_PATH.strip("/")
    shutil.rmtree(root, ignore_errors=True)
    root.mkdir(parents=True)
    for path in served.iterdir():
        if with_index or not path.name.endswith(".crv3blocks"):
            os.link(path, root / path.name)
    nginx.clear_requests()


def install_base(prefix, base, served_base):
    """The base pack installed and recorded one version behind the list."""
    prefix.reset()
    prefix.app_dir.mkdir(parents=True)
    shutil.copyfile(base, prefix.app_dir / NAME)
    shutil.copyfile(served_base / "crv3v2.exe", prefix.app_dir / "crv3v2.exe")
    listed = (served_base / "filelist.txt").read_bytes().replace(
        NAME.encode() + b"|1|", NAME.encode() + b"|0|")
    (prefix.app_dir / "local_list.txt").write_bytes(listed)


class PeakMemory(threading.Thread):
    """The largest VmHWM of any process whose command line names the
    launcher, sampled every 20 ms until stopped."""

    def __init__(self):
        super().__init__(daemon=True)
        self.peak_kb = 0
        self.done = threading.Event()

    def run(self):
        while not self.done.wait(0.02):
            for entry in pathlib.Path("/proc").iterdir():
                if entry.name.isdigit():
                    self.peak_kb = max(self.peak_kb, self.sample(entry))

    @staticmethod
    def sample(entry):
        try:
            if b"crv3launcher" not in (entry / "cmdline").read_bytes():
                return 0
            status = (entry / "status").read_text()
        except OSError:
            return 0
        line = next((l for l in status.splitlines() if l.startswith("VmHWM:")), "VmHWM: 0 kB")
        return int(line.split()[1])


def timed_run(runner, nginx, **options):
    memory = PeakMemory()
    memory.start()
    start = time.perf_counter()
    result = runner.run(preset="wine-https", relay=False, timeout_ms=LINK_TIMEOUT_S * 1000,
                        child_wait_ms=2000, **options)
    seconds = time.perf_counter() - start
    memory.done.set()
    memory.join()
    sent = sum(size for _, size in nginx.bytes_sent)
    return seconds, sent, memory.peak_kb, result


def slow_link_runs(size):
    """Inside the network namespace: the link first, then the runs."""
    for command in (["ip", "link", "set", "lo", "mtu", "1500"], ["ip", "link", "set", "lo", "up"],
                    ["tc", "qdisc", "add", "dev", "lo", "root", *LINK]):
        subprocess.run(command, check=True)
    packs = make_packs(size)
    served = {label: publish(label, pack) for label, pack in packs.items()}
    pki.ensure(paths.PKI)
    port = urllib.parse.urlsplit(paths.base_url("wine-https")).port
    nginx = NginxServer(port, pki.server_files(paths.PKI, "trusted"), WORK / "nginx")
    rows = []
    with paths.session_lock(), WinePrefix().running() as prefix, nginx:
        runner = Runner(prefix)
        cases = [("whole", "scattered", False, {}), ("scattered", "scattered", True, {}),
                 ("insert", "inserted", True, {}),
                 ("cut at 90%", "scattered", False, {"kill_on_text": f"{NAME} (90%)"})]
        for label, pack, with_index, options in cases:
            install_base(prefix, packs["base"], served["base"])
            serve(nginx, served[pack], with_index)
            seconds, sent, peak_kb, result = timed_run(runner, nginx, **options)
            rows.append((label, seconds, sent, peak_kb, result.killed, boxes(result)))
            if options:
                nginx.clear_requests()
                seconds, sent, peak_kb, result = timed_run(runner, nginx)
                rows.append(("  next run", seconds, sent, peak_kb, result.killed, boxes(result)))
            rows[-1] += (filecmp.cmp(prefix.app_dir / NAME, packs[pack], shallow=False),)
    print(f"launcher under Wine, nginx, a {size >> 20} MB pack, loopback limited to 20 Mbit/s "
          f"({' '.join(LINK)}):")
    print(f"  {'case':12} {'wall time':>10} {'bytes sent':>14} {'of pack':>8} {'peak mem':>9}"
          "  killed  installed  boxes")
    for label, seconds, sent, peak_kb, killed, shown, *exact in rows:
        installed = ("byte-exact" if exact[0] else "WRONG") if exact else ""
        print(f"  {label:12} {seconds:8.1f} s {sent:14,} {sent / size:8.1%} {peak_kb / 1024:6.1f} MB"
              f"  {str(killed):6}  {installed:10} {[caption for caption, _, _ in shown]}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--size-mb", type=int, default=1024, help="size of the pack")
    parser.add_argument("--inside-slow-link", action="store_true", help=argparse.SUPPRESS)
    options = parser.parse_args()
    size = options.size_mb << 20
    if options.inside_slow_link:
        slow_link_runs(size)
        return
    launcher = paths.launcher("wine-https")
    if not PUBLISHER.exists() or not launcher.exists():
        sys.exit(f"build the native and wine-https presets first ({PUBLISHER}, {launcher})")
    if shutil.disk_usage(paths.BUILD).free < 7 * size:
        sys.exit(f"needs {7 * size >> 20} MB free under {paths.BUILD}")
    shutil.rmtree(WORK, ignore_errors=True)
    WORK.mkdir(parents=True)
    try:
        run_inside_slow_link([__file__, "--inside-slow-link", "--size-mb", str(options.size_mb)],
                             LINK_TIMEOUT_S)
    finally:
        shutil.rmtree(WORK, ignore_errors=True)


if __name__ == "__main__":
    main()
