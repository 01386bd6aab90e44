"""Times crv3publish (native build) on a release of 2,000 files (100 MB,
nested folders, Hangul names, .ini files) beside copying the same folder
twice with cp -r: a first publication, and a republish in place with three
changed files. Then, when the wine-http launcher is built, the launcher
under Wine installs the first publication and updates to the second, and
what it fetched is counted. Prints figures; not a test.

    flock /tmp/wine-bench.lock /usr/bin/python3 benchmarks/publish_bench.py
"""
import pathlib
import random
import shutil
import subprocess
import sys
import time
import urllib.parse

REPO = pathlib.Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "wine"))

from bench import paths  # noqa: E402
from bench.launcher import Runner  # noqa: E402
from bench.prefix import WinePrefix  # noqa: E402
from bench.server import UpdateServer  # noqa: E402
from bench.update_checks import BASE_PATH, boxes, file_requests  # noqa: E402

PUBLISHER = REPO / "build" / "native" / "publish" / "crv3publish"
WORK = REPO / "build" / "publish-bench"

FILES = 2000
TOTAL_BYTES = 100 * 1024 * 1024
HANGUL = ["지도", "소리", "그림", "설정", "도움말", "캐릭터", "무기", "마을"]


def make_release(root):
    """2,000 files of varying size adding up to 100 MB, four levels deep."""
    rng = random.Random(11)
    weights = [rng.uniform(0.2, 1.8) for _ in range(FILES)]
    scale = TOTAL_BYTES / sum(weights)
    sizes = [int(w * scale) for w in weights]
    sizes[0] += TOTAL_BYTES - sum(sizes)
    names = ["crv3v2.exe"]
    for i in range(1, FILES):
        folder = f"{HANGUL[i % len(HANGUL)]}/part{i % 7}/{'깊은' if i % 3 else 'deep'}{i % 5}"
        ending = ".ini" if i % 20 == 0 else ".dat"
        stem = f"파일{i:04}" if i % 2 else f"file{i:04}"
        names.append(f"{folder}/{stem}{ending}")
    for name, size in zip(names, sizes):
        path = root / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(rng.randbytes(size))
    return names


def timed(command):
    start = time.perf_counter()
    result = subprocess.run(command, capture_output=True)
    elapsed = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"{command[0]} failed: {result.stderr.decode(errors='replace')}")
    return elapsed


def serve(server, served):
    server.clear()
    for path in served.rglob("*"):
        if path.is_file():
            server.serve(BASE_PATH + path.relative_to(served).as_posix(), path.read_bytes())


def launcher_run(runner, server, served):
    """One launcher run against the served folder: (seconds, its boxes, the
    names it fetched)."""
    serve(server, served)
    start = time.perf_counter()
    result = runner.run(relay=False, timeout_ms=600000)
    return time.perf_counter() - start, boxes(result), file_requests(server)


def install_then_update(first, second):
    """The launcher installs the publication in `first`, then updates to the
    one in `second`."""
    launcher = paths.launcher("wine-http")
    if not launcher.exists():
        print(f"(no launcher run: build the wine-http preset; {launcher} is missing)")
        return
    port = urllib.parse.urlsplit(paths.base_url("wine-http")).port
    with paths.session_lock(), WinePrefix().running() as prefix, UpdateServer(port) as server:
        prefix.reset()
        runner = Runner(prefix)
        for label, served in (("install", first), ("update", second)):
            seconds, shown, fetched = launcher_run(runner, server, served)
            zipped = [name for name in fetched if name.endswith(".i.zip")]
            print(f"launcher under Wine, {label}: {seconds:7.3f} s, {len(fetched)} files "
                  f"fetched ({len(fetched) - len(zipped)} plain, {len(zipped)} .i.zip), "
                  f"boxes {[caption for caption, _, _ in shown]}")
            if label == "update":
                print("   plain files fetched: " + ", ".join(
                    name for name in fetched if name not in zipped))


def main():
    if not PUBLISHER.exists():
        sys.exit(f"build the native preset first: {PUBLISHER} is missing")
    shutil.rmtree(WORK, ignore_errors=True)
    release = WORK / "release"
    names = make_release(release)
    subprocess.run(["sync"])

    copy_first = timed(["cp", "-r", str(release), str(WORK / "copy1")])
    copy_second = timed(["cp", "-r", str(release), str(WORK / "copy2")])
    copy_twice = copy_first + copy_second
    publish = timed([str(PUBLISHER), str(release), "--out", str(WORK / "served")])
    shutil.copytree(WORK / "served", WORK / "first")

    for name in (names[1], names[20], names[1999]):
        (release / name).write_bytes(b"changed " + name.encode())
    served = str(WORK / "served")
    republish = timed([str(PUBLISHER), str(release), "--out", served, "--previous", served])
    listed = (WORK / "served" / "filelist.txt").read_bytes().decode("cp949").splitlines()
    changed = [line for line in listed if line.split("|")[1] == "2"]

    print(f"release: {FILES} files, {TOTAL_BYTES / 2**20:.0f} MB, in {release}")
    print(f"cp -r twice:                          {copy_twice:7.3f} s "
          f"({copy_first:.3f} + {copy_second:.3f})")
    print(f"crv3publish, first publication:       {publish:7.3f} s "
          f"({publish / copy_twice:.0%} of copying twice)")
    print(f"crv3publish, republish 3 changed:     {republish:7.3f} s "
          f"({republish / copy_twice:.0%} of copying twice; {len(changed)} files at version 2)")
    install_then_update(WORK / "first", WORK / "served")
    shutil.rmtree(WORK, ignore_errors=True)


if __name__ == "__main__":
    main()
