"""Large files as applications ship them, from nginx with their length
announced and their digest listed. A file past 4 GB (the platform reports
2^31 - 1 as its size and counts its bytes in 32 bits) installs byte-exact
while the status line rises from 0 to 100 without falling back or passing
100; a small file shows the same. A file that the drive clearly cannot hold
fails at the start of its body instead of after filling the disk. The files
are sparse on the server; the cache copy and the staged file are real, so
the large case needs free disk and says so when it skips.

A changed file published with its block index is updated from the installed
copy and ranged requests for its changed blocks only; a range the server
answers with other bytes fails the digest, the file is fetched whole in the
same run and, its bytes still wrong, the installed copy stays untouched."""
import hashlib
import os
import random
import re
import shutil

import pytest

from bench import invariant, paths
from bench.update_checks import BASE_PATH, DONE, LIST_PATH, boxes, failure_box, texts_set
from test_nginx import nginx  # noqa: F401 (fixture)
from test_publish import NATIVE, publish_native, require, write_tree

NAME = "pack.dat"
PAST_4_GB = 2**32 + 2**28
STATUS = re.compile(r"^다운로드 중: pack\.dat \((\d+)%\)$")


def marks(size):
    """Bytes that tell the parts of a sparse file apart: its ends and both
    sides of 2 GB and 4 GB, where the platform's counts give out."""
    wanted = {0: b"head", 2**31 - 4: b"<2GB", 2**31: b"2GB>", 2**32 - 4: b"<4GB",
              2**32: b"4GB>", size - 4: b"tail"}
    return {offset: data for offset, data in wanted.items() if 0 <= offset <= size - 4}


def file_digest(path):
    digest = hashlib.sha256()
    with open(path, "rb") as file:
        while chunk := file.read(1 << 20):
            digest.update(chunk)
    return digest.hexdigest()


def publish_pack(server, size, digest=None):
    """crv3v2.exe and a sparse pack.dat of size bytes, both listed with their
    digests (the pack's as given, else computed); returns the pack's digest."""
    pack = server.serve_sparse(BASE_PATH + NAME, size, marks(size))
    digest = digest or file_digest(pack)
    app = paths.program("fake_app").read_bytes()
    server.serve(BASE_PATH + "crv3v2.exe", app)
    server.serve(LIST_PATH, f"crv3v2.exe|1|{hashlib.sha256(app).hexdigest()}\r\n"
                            f"{NAME}|1|{digest}\r\n".encode())
    return digest


@pytest.mark.parametrize("size,ranges", [(PAST_4_GB, True), (48 * 2**20, True),
                                         (48 * 2**20, False)],
                         ids=["past-4-GB", "48-MB", "48-MB-ranges-off"])
def test_status_line_rises_to_100_and_the_file_installs(bench, prefix, nginx, size, ranges):
    """The file comes in ranged pieces of 16 MiB; where the server ignores
    Range (nginx with max_ranges 0) its first answer is the whole body."""
    # The platform's cache copy and the staged file are both whole at the end.
    needed = 2 * size + 2**30
    free = shutil.disk_usage(paths.BUILD).free
    if free < needed:
        pytest.skip(f"needs {needed / 2**30:.1f} GB free under {paths.BUILD} for the cache "
                    f"copy and the staged file; {free / 2**30:.1f} GB are free")
    if not ranges:
        nginx.stop()
        nginx.compression += " max_ranges 0;"
        nginx.start()
    digest = publish_pack(nginx, size)

    installed = prefix.app_dir / NAME
    try:
        result = bench.run(preset="wine-https", timeout_ms=1_800_000, child_wait_ms=3000)

        assert boxes(result) == [DONE] and len(result.started) == 1, boxes(result)
        assert installed.stat().st_size == size and file_digest(installed) == digest
        shown = [int(m.group(1)) for m in map(STATUS.match, texts_set(result)) if m]
        print(f"{NAME} of {size} bytes showed {shown}")
        assert shown and shown == sorted(shown) and shown[0] == 0 and shown[-1] == 100, shown
        assert b"pack.dat|1|" in (prefix.app_dir / "local_list.txt").read_bytes()
        answers = [r.status for r in nginx.requests if r.path == (BASE_PATH + NAME).encode()]
        pieces = -(-size // 2**24)
        assert answers == ([206] * pieces if ranges else [200]), answers
        assert invariant.temporary_files(prefix) == []
        cache = invariant._cache_files(prefix)
        assert not [p for p, (bytes_, _) in cache.items() if bytes_ >= size], cache
    finally:
        installed.unlink(missing_ok=True)  # gigabytes on a shared disk


# Wine's urlmon reads on after the launcher stops the binding, for as long as
# it pleases: 0.13 to 2.0 GB in most runs, past two minutes in one. That
# makes the case's length unbounded, so it runs on request only.
@pytest.mark.skipif(not os.environ.get("CRV3_DRIVE_ROOM_CASE"),
                    reason="set CRV3_DRIVE_ROOM_CASE=1: Wine reads on for an unbounded time "
                           "after the stop")
def test_file_the_drive_cannot_hold_fails_at_the_start_of_its_body(bench, prefix, nginx):
    prefix.app_dir.mkdir(parents=True, exist_ok=True)
    (prefix.app_dir / NAME).write_bytes(b"installed pack")
    # Too large to be held twice (the cache copy and the staged file), yet
    # never more than the drive holds, however far Wine reads on. Never
    # fetched whole, so its listed digest is never checked.
    size = shutil.disk_usage(paths.BUILD).free // 2 + 2**30
    publish_pack(nginx, size, digest="0" * 64)
    before = invariant.snapshot(prefix)

    result = bench.run(preset="wine-https", timeout_ms=900_000, child_wait_ms=3000)

    invariant.check(prefix, before, result, nginx)
    assert not result.timed_out
    assert boxes(result) == [failure_box([NAME]), DONE], boxes(result)
    assert (prefix.app_dir / NAME).read_bytes() == b"installed pack"
    # The platform reads on for a while after it is told to stop.
    sent = nginx.body_bytes_sent(BASE_PATH + NAME)
    print(f"{NAME}: {sent} of {size} body bytes sent")
    assert len(sent) == 1 and sent[0] < size // 10, sent


def changed_pack(pack, rng):
    """pack with three stretches overwritten and 50,000 bytes inserted."""
    changed = bytearray(pack)
    for offset in (1 << 20, 17 << 20, 33 << 20):
        changed[offset:offset + 1000] = rng.randbytes(1000)
    changed[10 << 20:10 << 20] = rng.randbytes(50_000)
    return bytes(changed)


def test_a_changed_large_file_is_updated_by_its_changed_blocks(bench, prefix, nginx, tmp_path):
    require(NATIVE)
    rng = random.Random(25)
    release = {"crv3v2.exe": paths.program("fake_app").read_bytes(),
               NAME: rng.randbytes(40 << 20)}
    installed = release[NAME]
    source, served = tmp_path / "release", tmp_path / "served"

    def publish(*options):
        write_tree(source, release)
        published = publish_native(source, "--out", served, *options)
        assert published.returncode == 0, published.stderr
        nginx.serve_folder(served, BASE_PATH)

    def run(expected_boxes):
        nginx.clear_requests()
        before = invariant.snapshot(prefix)
        result = bench.run(preset="wine-https", child_wait_ms=3000)
        invariant.check(prefix, before, result, nginx)
        assert boxes(result) == expected_boxes
        return [(r.status, sent) for r, (_, sent) in zip(nginx.requests, nginx.bytes_sent)
                if r.path == (BASE_PATH + NAME).encode()]

    publish()
    run([DONE])
    release[NAME] = changed_pack(installed, rng)
    publish("--previous", served)

    # A block the index describes, served with other bytes.
    tampered = bytearray(release[NAME])
    tampered[(17 << 20) + 50_000] ^= 0xFF
    nginx.serve(BASE_PATH + NAME, bytes(tampered))
    answers = run([failure_box([NAME])])
    assert prefix.app_files()[NAME] == installed
    assert sum(sent for _, sent in answers) >= len(tampered), answers

    nginx.serve(BASE_PATH + NAME, release[NAME])
    answers = run([DONE])
    assert prefix.app_files()[NAME] == release[NAME]
    print(f"by blocks: {answers}")
    assert answers and all(status == 206 for status, _ in answers), answers
    assert sum(sent for _, sent in answers) < len(release[NAME]) // 20, answers
    assert nginx.body_bytes_sent(BASE_PATH + NAME + ".crv3blocks")
