"""tools/try-release on a small release folder, as a vendor runs it: the
first run publishes, checks and installs it, a second run after a changed
file shows the update. The tool takes the bench's lock itself."""
import shutil
import subprocess

import pytest

from bench import paths
from bench.try_release import PREFIX

TOOL = paths.REPO / "tools" / "try-release"


def try_release(release):
    done = subprocess.run([TOOL, release], capture_output=True, text=True, timeout=3600)
    assert done.returncode == 0, done.stdout + done.stderr
    return done.stdout


def test_try_release_installs_a_release_and_then_its_update(tmp_path):
    fake_app = paths.program("fake_app")
    if not fake_app.exists():
        pytest.fail("build the wine-http preset first", pytrace=False)
    release = tmp_path / "내 릴리스"
    for name, body in {"crv3v2.exe": fake_app.read_bytes(), "data/a.dat": b"a" * 5000,
                       "도움말/안내.txt": "안내 1\r\n".encode()}.items():
        (release / name).parent.mkdir(parents=True, exist_ok=True)
        (release / name).write_bytes(body)
    # What a previous try left: the folder published and installed.
    shutil.rmtree(paths.BUILD / "try-release-publish", ignore_errors=True)
    shutil.rmtree(PREFIX / "drive_c" / "corvane3", ignore_errors=True)

    first = try_release(release)

    assert "3 listed files, all served, 3 with their SHA-256 checked, the list signed" in first
    assert 'message box "알림" (information icon, button OK)' in first
    assert "program started: C:\\corvane3\\crv3v2.exe" in first
    assert "data/a.dat (5000 bytes, new)" in first

    (release / "data/a.dat").write_bytes(b"b" * 6000)
    second = try_release(release)

    assert "1 new or changed at version 2, 2 unchanged" in second
    # One ranged request holds the whole small file.
    assert "server: GET /cv3down/data/a.dat -> 206" in second
    assert "data/a.dat (6000 bytes, changed)" in second
    assert "도움말/안내.txt (10 bytes, unchanged)" in second
