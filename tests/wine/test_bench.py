"""The bench's own parts, checked on the host without Wine: the fault
options of the update server and the reading of Wine's relay trace, on which
the Wine scenarios rely."""
import http.client
import time
import types
import urllib.parse

import pytest

from bench import invariant
from bench.launcher import parse_relay
from bench.server import UpdateServer


@pytest.fixture
def server():
    with UpdateServer(0) as update_server:
        yield update_server


def get(server, path):
    connection = http.client.HTTPConnection("127.0.0.1", server.port, timeout=10)
    connection.request("GET", path)
    return connection.getresponse()


def test_serves_per_path_and_records_requests(server):
    server.serve("/cv3down/가 b.txt", b"hello", headers={"ETag": '"1"'})

    answer = get(server, "/cv3down/" + urllib.parse.quote("가 b.txt"))
    missing = get(server, "/cv3down/other")

    assert (answer.status, answer.read(), answer.getheader("ETag")) == (200, b"hello", '"1"')
    assert missing.status == 404
    assert [(r.raw_path, r.path, r.status) for r in server.requests] == [
        ("/cv3down/%EA%B0%80%20b.txt", "/cv3down/가 b.txt".encode(), 200),
        ("/cv3down/other", b"/cv3down/other", 404)]


def test_rate_limits_the_body(server):
    server.serve("/slow", bytes(20000), rate=40000)
    start = time.monotonic()
    assert len(get(server, "/slow").read()) == 20000
    assert time.monotonic() - start >= 0.45


def test_body_without_length_ends_with_the_connection(server):
    server.serve("/open", b"x" * 3000, content_length=False)
    answer = get(server, "/open")
    assert answer.getheader("Content-Length") is None and answer.read() == b"x" * 3000


@pytest.mark.parametrize("fault", ["cut_after", "reset_after"])
def test_short_bodies_fail_the_read(server, fault):
    server.serve("/short", b"x" * 5000, **{fault: 100})
    answer = get(server, "/short")
    assert answer.getheader("Content-Length") == "5000"
    with pytest.raises((http.client.IncompleteRead, ConnectionResetError)):
        answer.read()


def test_relay_lines_give_calls_with_their_strings():
    trace = "\n".join([
        '00c4:00c8:Call user32.MessageBoxW(00000000,0040404a L"\\c2e4\\d589\\n\\"x\\\\y\\"",'
        '00404044 L"\\c54c\\b9bc",00000040) ret=004015ec',
        '00c4:00c8:Ret  user32.MessageBoxW() retval=00000001 ret=004015ec',
        '00c4:00c8:Call wininet.DeleteUrlCacheEntryW(0040aaaa L"http://h/a,b"...) ret=00401000',
    ])

    box, delete = parse_relay(trace)

    assert (box.pid, box.function, box.name, box.ret) == (0xC4, "user32.MessageBoxW",
                                                         "MessageBoxW", 0x4015EC)
    assert [(a.value, a.text) for a in box.args] == [
        (0, None), (0x40404A, '실행\n"x\\y"'), (0x404044, "알림"), (0x40, None)]
    assert (delete.args[0].text, delete.args[0].truncated) == ("http://h/a,b", True)


def test_durability_reader_finds_unflushed_and_early_renames(tmp_path):
    """Traces as strace -f -y -ttt writes them: the client's flushes by
    descriptor path, the wine server's renames by name (through the
    prefix's drive link)."""
    prefix = types.SimpleNamespace(app_dir=tmp_path / "drive_c" / "corvane3")
    prefix.app_dir.mkdir(parents=True)
    (tmp_path / "dosdevices").mkdir()
    (tmp_path / "dosdevices" / "c:").symlink_to(tmp_path / "drive_c")
    real, linked = prefix.app_dir, tmp_path / "dosdevices" / "c:" / "corvane3"

    def flush(time, name):
        return f"41 {time}.000001 fsync(21<{real / name}>) = 0"

    def rename(time, source, target):
        return f'42 {time}.000001 rename("{real / source}", "{linked / target}") = 0'

    client, server = tmp_path / "run.strace", tmp_path / "run.strace.server"
    client.write_text("\n".join([flush(1, "a.dat.crv3part"), flush(4, "list.crv3part"),
                                 "41 5.000001 fsync(22<pipe:[1]>) = -1 EINVAL (Invalid argument)"]))
    server.write_text("\n".join([
        rename(2, "a.dat.crv3part", "a.dat"),
        rename(3, "b.dat.crv3part", "b.dat"),
        rename(5, "c.dll", "c.dll.crv3old"),
        rename(6, "list.crv3part", "local_list.txt"),
        rename(7, "a.dat.crv3part", "d.dat"),
        '43 8.000001 rename("/elsewhere/x", "/elsewhere/y") = 0']))

    assert invariant.durability_problems(prefix, [client, server]) == [
        "b.dat: renamed into place before its data was flushed",
        "d.dat: renamed into place before its data was flushed",
        "d.dat: renamed into place after the record"]
