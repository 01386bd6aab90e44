"""The whole update under Wine: what is fetched, what lands on disk byte for
byte, what local_list.txt records, the boxes in order, the progress window
while it is up, and the program started afterwards."""
import random

import pytest

from bench import paths
from bench.launcher import APP_DIR, EXECUTABLE
from bench.update_checks import (
    CANCELLED, DONE, FILE_LIST_ID, LIST_PATH, OVERALL_ID, app_files, boxes, byte_order,
    drive_c_files, failure_box, file_list_text, file_requests, files_named_like, label_texts,
    list_text, overall_text, publish, started, texts_set, url_path, window_gone_before_boxes)

# Long enough per file for the window's samples to see every file's label.
VISIBLE = 0.4


@pytest.fixture
def fake_app(bench):
    return bench.fake_app.read_bytes()


def assert_started_once(result, parameters=""):
    assert result.exit_code == 0 and not result.timed_out
    assert started(result) == [(EXECUTABLE, parameters, APP_DIR)]
    # Every box stands alone with its OK button.
    assert all(box.owner == 0 and len(box.buttons) == 1 for box in result.boxes), result.boxes


def assert_window_showed(result, names):
    """The window listed `names` and counted through all of them in order:
    exactly so in what the launcher set, and never out of order in what the
    running window was seen to show."""
    expected = [overall_text(i, len(names)) for i in range(len(names) + 1)]
    texts = texts_set(result)
    assert [t for t in texts if t.startswith("전체 진행")] == expected, texts
    assert [t for t in texts if t == file_list_text(names)] == [file_list_text(names)]
    assert label_texts(result, FILE_LIST_ID) in ([], [file_list_text(names)])
    counts = label_texts(result, OVERALL_ID)
    assert counts == [t for t in expected if t in counts], counts
    assert window_gone_before_boxes(result)
    calls = [c.name for c in result.calls]
    if "MessageBoxW" in calls:
        assert len(calls) - calls[::-1].index("DestroyWindow") <= calls.index("MessageBoxW")


# --- whole runs -------------------------------------------------------------

def test_first_install_into_empty_directory(bench, prefix, http_server, fake_app):
    files = {"crv3v2.exe": fake_app, "readme.txt": b"read me\r\n",
             "data/levels/one.dat": bytes(range(256)) * 40, "data\\two.dat": b"two",
             "Zeta.dll": b"MZ zeta"}
    text = publish(http_server, files, delay=VISIBLE)

    result = bench.run("/updated")

    assert_started_once(result, "/updated")
    assert boxes(result) == [DONE]
    order = byte_order(files)
    assert file_requests(http_server) == order
    assert_window_showed(result, order)
    assert app_files(prefix) == {**{n.replace("\\", "/"): b for n, b in files.items()},
                                 "local_list.txt": text}


@pytest.mark.parametrize("record", ["different-bytes", "missing", "empty"])
def test_nothing_to_do(bench, prefix, http_server, record):
    release = {"crv3v2.exe": b"fake_app", "data\\game.dat": b"level data"}
    installed = bench.install_release(release, b"data\\game.dat|3\ncrv3v2.exe|3\n")
    # The server's text differs in bytes (order, line ends, versions) but
    # selects nothing: a rewrite would show.
    server_text = b"crv3v2.exe|2\r\n\r\ndata\\game.dat|3\r\n"
    http_server.serve(LIST_PATH, server_text)
    if record == "missing":
        (prefix.app_dir / "local_list.txt").unlink()
    elif record == "empty":
        (prefix.app_dir / "local_list.txt").write_bytes(b"")
    # Without a record every file counts as missing: an info file covers them.
    if record != "different-bytes":
        (prefix.app_dir / "cv3info.ini").write_bytes(
            b"[a]\r\nfn=crv3v2.exe\r\nver=2\r\n[b]\r\nfn=data\\game.dat\r\nver=3\r\n")
    before = app_files(prefix)

    result = bench.run()

    assert_started_once(result)
    assert boxes(result) == [] and result.progress == []
    assert [r.raw_path for r in http_server.requests] == [LIST_PATH]
    after = app_files(prefix)
    expected_record = installed if record == "different-bytes" else server_text
    assert after == {**before, "local_list.txt": expected_record}


def test_newer_version_of_two_of_five(bench, prefix, http_server, fake_app):
    release = {"crv3v2.exe": b"fake_app", "a.dll": b"a1", "b.dat": b"b1", "sub/c.dat": b"c1",
               "sub/d.dat": b"d1"}
    bench.install_release(release)
    new = {"sub/c.dat": b"c2" * 1000, "a.dll": b"a2"}
    text = publish(http_server, {**{n: b"" for n in release}, **new},
                   versions={"a.dll": 2, "sub/c.dat": 7}, delay=VISIBLE)

    result = bench.run("/updated")

    assert_started_once(result, "/updated")
    assert boxes(result) == [DONE]
    assert file_requests(http_server) == ["a.dll", "sub/c.dat"]
    assert_window_showed(result, ["a.dll", "sub/c.dat"])
    files = app_files(prefix)
    assert files == {"crv3v2.exe": fake_app, "a.dll": b"a2", "b.dat": b"b1",
                     "sub/c.dat": b"c2" * 1000, "sub/d.dat": b"d1", "local_list.txt": text}


def test_info_file_decides_over_the_local_list(bench, prefix, http_server):
    bench.install_release({"crv3v2.exe": b"fake_app", "a.dat": b"a", "b.dat": b"b",
                           "d.dat": b"d"},
                          b"crv3v2.exe|1\na.dat|1\nb.dat|9\nd.dat|5\n")
    info = (b"[one]\r\nfn=a.dat\r\nver=5\r\n[two]\r\nver=3\r\nfn=b.dat\r\n"
            b"[three]\r\nfn=c.dat\r\nver=7\r\n[four]\r\nfn=d.dat\r\n")
    (prefix.app_dir / "cv3info.ini").write_bytes(info)
    files = {"crv3v2.exe": b"", "a.dat": b"a-new", "b.dat": b"b-new", "c.dat": b"c-new",
             "d.dat": b"d-new"}
    # a: info 5 = server 5 though local 1 is older; b: info 3 < server 4 though
    # local 9 is newer; c: info 7 > server 6 though the file is missing;
    # d: the info section lacks ver=, so the local list decides (5 < 6).
    text = publish(http_server, files,
                   versions={"a.dat": 5, "b.dat": 4, "c.dat": 6, "d.dat": 6})

    result = bench.run()

    assert_started_once(result)
    assert boxes(result) == [DONE]
    assert file_requests(http_server) == ["b.dat", "d.dat"]
    assert app_files(prefix) == {"crv3v2.exe": bench.fake_app.read_bytes(), "a.dat": b"a",
                                 "b.dat": b"b-new", "d.dat": b"d-new", "cv3info.ini": info,
                                 "local_list.txt": text}


def test_i_zip_is_stored_as_ini_and_reported_as_such(bench, prefix, http_server):
    bench.install_release({"crv3v2.exe": b"fake_app", "sub/Setup.ini": b"old setup"})
    text = list_text([("config.i.zip", 2), ("crv3v2.exe", 1), ("sub/Setup.I.ZIP", 2)])
    http_server.serve(LIST_PATH, text)
    http_server.serve("/cv3down/config.i.zip", b"[cfg]\r\nfn=x\r\n")
    # sub/Setup.I.ZIP is not served: it fails.

    result = bench.run()

    assert_started_once(result)
    assert boxes(result) == [failure_box(["sub/Setup.ini"]), DONE]
    assert file_requests(http_server) == ["config.i.zip", "sub/Setup.I.ZIP"]
    files = app_files(prefix)
    assert files["config.ini"] == b"[cfg]\r\nfn=x\r\n" and "config.i.zip" not in files
    assert files["sub/Setup.ini"] == b"old setup"
    assert files["local_list.txt"] == list_text([("config.i.zip", 2), ("crv3v2.exe", 1)])


def test_info_file_arriving_as_i_zip_decides_from_the_next_run(bench, prefix, http_server):
    bench.install_release({"crv3v2.exe": b"fake_app", "b.dat": b"b1"})
    info = b"[b]\r\nfn=b.dat\r\nver=9\r\n"
    publish(http_server, {"crv3v2.exe": b"", "b.dat": b"b2", "cv3info.i.zip": info},
            versions={"b.dat": 2})

    first = bench.run()

    assert boxes(first) == [DONE]
    assert file_requests(http_server) == ["b.dat", "cv3info.i.zip"]
    assert (prefix.app_dir / "cv3info.ini").read_bytes() == info

    http_server.clear()
    text = publish(http_server, {"crv3v2.exe": b"", "b.dat": b"b3", "cv3info.i.zip": info},
                   versions={"b.dat": 3})

    second = bench.run()

    assert_started_once(second)
    # The info file names b.dat at 9: version 3 is not newer. cv3info.i.zip
    # itself is fetched again, as no file of that very name exists.
    assert boxes(second) == [DONE]
    assert file_requests(http_server) == ["cv3info.i.zip"]
    assert app_files(prefix)["b.dat"] == b"b2"
    assert app_files(prefix)["local_list.txt"] == text


@pytest.mark.parametrize("count, ending", [(12, "f09.dat\n... 외 2개"), (10, "f09.dat\n")])
def test_many_failed_files(bench, prefix, http_server, count, ending):
    bench.install_fake_app()
    names = [f"f{i:02}.dat" for i in range(count)]
    http_server.serve(LIST_PATH, list_text([(n, 1) for n in reversed(names)]))

    result = bench.run()

    assert_started_once(result)
    assert boxes(result) == [failure_box(names)]
    assert boxes(result)[0][1].endswith(ending)
    assert file_requests(http_server) == names
    # No record existed, so one is written: without the failed lines.
    assert app_files(prefix) == {"crv3v2.exe": bench.fake_app.read_bytes(), "local_list.txt": b""}


def test_failed_files_are_fetched_again_on_the_next_run(bench, prefix, http_server):
    bench.install_release({"crv3v2.exe": b"fake_app", "a.dat": b"a1", "b.dat": b"b1",
                           "c.dat": b"c1"})
    # LF and CR LF line ends, a blank line and a line without a version: the
    # record keeps every byte of the lines it keeps.
    text = b"a.dat|2\r\n\nb.dat|2\nc.dat|2\r\ncrv3v2.exe|1  \r\nnew.dat\n"
    http_server.serve(LIST_PATH, text)
    http_server.serve("/cv3down/a.dat", b"a2", delay=VISIBLE)
    # b.dat is cut short, c.dat resets the connection: neither is complete.
    http_server.serve("/cv3down/b.dat", b"b2" * 5000, cut_after=3000, delay=VISIBLE)
    http_server.serve("/cv3down/c.dat", b"c2" * 5000, reset_after=3000, delay=VISIBLE)
    http_server.serve("/cv3down/new.dat", b"new", status=500, delay=VISIBLE)

    first = bench.run()

    assert_started_once(first)
    assert boxes(first) == [failure_box(["b.dat", "c.dat", "new.dat"]), DONE]
    assert_window_showed(first, ["a.dat", "b.dat", "c.dat", "new.dat"])
    # Nothing of the failed transfers is left behind, not even a part.
    fake_app = bench.fake_app.read_bytes()
    assert app_files(prefix) == {"crv3v2.exe": fake_app, "a.dat": b"a2", "b.dat": b"b1",
                                 "c.dat": b"c1", "local_list.txt": b"a.dat|2\r\n\ncrv3v2.exe|1  \r\n"}

    http_server.clear()
    http_server.serve(LIST_PATH, text)
    for name in ("a.dat", "b.dat", "c.dat", "new.dat"):
        http_server.serve("/cv3down/" + name, name.encode() + b" v2")

    second = bench.run()

    assert_started_once(second)
    assert boxes(second) == [DONE]
    assert file_requests(http_server) == ["b.dat", "c.dat", "new.dat"]
    assert app_files(prefix) == {"crv3v2.exe": fake_app, "a.dat": b"a2", "b.dat": b"b.dat v2",
                                 "c.dat": b"c.dat v2", "new.dat": b"new.dat v2",
                                 "local_list.txt": text}


# --- running copies of the application ---------------------------------------

@pytest.mark.parametrize("newer", [True, False], ids=["newer-executable", "nothing-to-do"])
def test_running_application_is_terminated_and_started_again(bench, prefix, http_server,
                                                             fake_app, newer):
    # The helper's name is listed in CP949 with its extension in upper case.
    bench.install_release({"crv3v2.exe": b"fake_app", "도구/뷰어.EXE": b"fake_app"})
    new_app = fake_app + b"\0overlay v2"
    text = publish(http_server, {"crv3v2.exe": new_app, "도구/뷰어.EXE": b""},
                   versions={"crv3v2.exe": 2 if newer else 1})
    running = bench.start_running_app()
    helper = bench.start_running_app(APP_DIR + "\\도구\\뷰어.EXE")

    try:
        result = bench.run("/updated")
        assert running.process.wait(10) is not None and helper.process.wait(10) is not None
    finally:
        running.release()
        helper.release()

    assert_started_once(result, "/updated")
    assert result.started[0]["pid"] not in (running.pid, helper.pid)
    terminations = [c for c in result.calls_named("TerminateProcess")]
    assert len(terminations) == 2 and all(c.args[1].value == 0 for c in terminations)
    names = [c.name for c in result.calls]
    if newer:
        assert boxes(result) == [DONE]
        assert names.index("TerminateProcess") < names.index("URLDownloadToFileW")
        assert app_files(prefix)["crv3v2.exe"] == new_app
        assert app_files(prefix)["local_list.txt"] == text
    else:
        assert boxes(result) == [] and file_requests(http_server) == []


def test_application_that_cannot_be_terminated_cancels_the_update(bench, prefix, http_server):
    stubborn = paths.program("stubborn_app", prefix.preset)
    bench.install_release({"crv3v2.exe": b"fake_app", "a.dat": b"a1", "viewer.exe": b"fake_app"})
    (prefix.app_dir / "crv3v2.exe").write_bytes(stubborn.read_bytes())
    before = app_files(prefix)
    publish(http_server, {"crv3v2.exe": b"new", "a.dat": b"a2", "viewer.exe": b""},
            versions={"a.dat": 2})
    running = bench.start_running_app()
    # Comes after crv3v2.exe in the order of closing: closed all the same.
    viewer = bench.start_running_app(APP_DIR + "\\viewer.exe")
    try:
        result = bench.run("/updated")
        still_running = not running.exited()
        viewer_closed = viewer.process.wait(10) is not None
    finally:
        running.release()
        viewer.release()

    assert still_running, "the stubborn copy was terminated after all"
    assert viewer_closed
    # Ten checks with 500 ms between them before giving up.
    (box,) = [e for e in result.events if e["event"] == "message_box"]
    assert box["time_ms"] >= 5000
    assert (result.exit_code, boxes(result), result.started) == (0, [CANCELLED], [])
    assert result.progress == [] and not result.shortcut["exists"]
    assert file_requests(http_server) == []
    assert app_files(prefix) == before


def test_launcher_listed_by_its_own_name_goes_on(bench, prefix, http_server):
    # The launcher runs as crv3launcher.exe; a list naming that executable
    # must not make it terminate itself.
    bench.install_release({"crv3v2.exe": b"fake_app"})
    text = publish(http_server, {"crv3v2.exe": b"", "bin/CRV3Launcher.exe": b"launcher copy"})

    result = bench.run()

    assert_started_once(result)
    assert boxes(result) == [DONE]
    assert result.calls_named("TerminateProcess") == []
    assert app_files(prefix)["bin/CRV3Launcher.exe"] == b"launcher copy"
    assert app_files(prefix)["local_list.txt"] == text


# --- names from the server ----------------------------------------------------

# (A leading separator stays inside: see test_faults.py.)
OUTSIDE = ["../escape-1.dat", "..\\escape-2.dat", "sub/../../escape-3.dat", "C:\\escape-4.dat",
           "C:escape-5.dat", "sub/ .. /escape-9.dat", "ok.dat:escape-10", "...\\escape-11.dat"]


def test_names_outside_the_directory_are_never_fetched(bench, prefix, http_server):
    bench.install_release({"crv3v2.exe": b"fake_app"})
    files = {name: b"escaped" for name in OUTSIDE}
    files["ok.dat"] = b"ok"
    publish(http_server, files)
    outside_before = drive_c_files(prefix)

    result = bench.run()

    assert_started_once(result)
    rejected = byte_order(OUTSIDE)
    assert boxes(result) == [failure_box(rejected), DONE]
    assert file_requests(http_server) == ["ok.dat"]
    assert files_named_like(paths.PREFIX, "escape") == []
    assert drive_c_files(prefix) == outside_before
    assert app_files(prefix) == {"crv3v2.exe": bench.fake_app.read_bytes(), "ok.dat": b"ok",
                                 "local_list.txt": list_text([("ok.dat", 1)])}


def test_cp949_hangul_names(bench, prefix, http_server):
    bench.install_release({"crv3v2.exe": b"fake_app"})
    good, bad = "데이터/한글 파일.dat", "설정.i.zip"
    text = list_text([(good, 3), (bad, 1)])
    assert text == "데이터/한글 파일.dat|3\r\n설정.i.zip|1\r\n".encode("cp949")
    http_server.serve(LIST_PATH, text)
    http_server.serve("/cv3down/" + good, "내용".encode("utf-8"), delay=VISIBLE)

    result = bench.run()

    assert_started_once(result)
    assert boxes(result) == [failure_box(["설정.ini"]), DONE]
    assert [r.raw_path for r in http_server.requests[1:]] == [url_path(good), url_path(bad)]
    assert url_path(good) == ("/cv3down/%EB%8D%B0%EC%9D%B4%ED%84%B0/"
                              "%ED%95%9C%EA%B8%80%20%ED%8C%8C%EC%9D%BC.dat")
    assert file_list_text(byte_order([good, bad])) in texts_set(result)
    assert (prefix.app_dir / "데이터" / "한글 파일.dat").read_bytes() == "내용".encode("utf-8")
    assert app_files(prefix)["local_list.txt"] == list_text([(good, 3)])


# --- lists of any content ------------------------------------------------------

def _garbage():
    generator = random.Random(949)
    return bytes(generator.choice(b"ab|/\\:.\r\n\t \x00\x80\xff\xa1\xb0" + bytes(range(256)))
                 for _ in range(6000))


BAD_LISTS = {
    "garbage": _garbage(),
    "megabyte-line": b"save.dat|2\r\n" + b"x" * (1 << 20) + b"|1\r\n" + b"y|" + b"9" * (1 << 20),
    "duplicates": b"save.dat|1\nsave.dat|7\nsave.dat|1\ncrv3v2.exe|1\ncrv3v2.exe\n",
    "case": b"SAVE.DAT|5\nSave.dat|5\nCRV3V2.EXE|1\n",
    "separators": (b"data/keep.dat|5\ndata\\keep.dat|6\ndata//keep.dat|7\ndata\\/keep.dat|8\n"
                   b"data/|1\ndata\\|1\n/|1\n\\|1\nsub/new.dat|1\nsub\\deeper\\new.dat|1\n"),
    "empty-names": b"|5\n |3\n\t|2\n|\n||||\n\x00|1\n\xa1|1\n",
}


@pytest.mark.parametrize("listing", BAD_LISTS.values(), ids=BAD_LISTS.keys())
def test_any_list_content_loses_no_installed_file(bench, prefix, http_server, listing):
    release = {"crv3v2.exe": b"fake_app", "data\\keep.dat": b"keep me", "save.dat": b"progress"}
    record = bench.install_release(release)
    before = app_files(prefix)
    outside_before = drive_c_files(prefix)
    # Nothing but the list is served: every download fails.
    http_server.serve(LIST_PATH, listing)

    result = bench.run(relay=False, timeout_ms=120000)

    assert not result.timed_out and result.exit_code == 0
    # Without the relay trace the icons are unknown: captions and texts tell.
    assert DONE[:2] not in [box[:2] for box in boxes(result)]
    assert started(result) == [(EXECUTABLE, "", APP_DIR)]
    assert app_files(prefix) == before
    assert app_files(prefix)["local_list.txt"] == record
    assert drive_c_files(prefix) == outside_before


def test_hundred_thousand_entries(bench, prefix, http_server):
    # Entries the info file covers with a newer version cost no download and
    # no disk test: the run walks the whole list and downloads nothing.
    names = [f"pack/{i:06}.dat" for i in range(100000)]
    bench.install_release({"crv3v2.exe": b"fake_app"})
    info = b"".join(b"[s]\nfn=" + n.encode() + b"\nver=2\n" for n in names)
    (prefix.app_dir / "cv3info.ini").write_bytes(info)
    before = app_files(prefix)
    http_server.serve(LIST_PATH, list_text([(n, 1) for n in names]) + b"crv3v2.exe|1\r\n")

    result = bench.run(relay=False, timeout_ms=120000)

    assert_started_once(result)
    assert boxes(result) == [] and result.progress == []
    assert file_requests(http_server) == []
    assert app_files(prefix) == before


def test_duplicate_and_case_names_are_fetched_as_listed(bench, prefix, http_server):
    bench.install_release({"crv3v2.exe": b"fake_app"})
    http_server.serve(LIST_PATH, b"a.dat|1\nData.dat|1\na.dat|3\ndata.dat|1\n")
    for name, body in (("a.dat", b"a"), ("Data.dat", b"upper"), ("data.dat", b"lower")):
        http_server.serve("/cv3down/" + name, body)

    result = bench.run()

    assert_started_once(result)
    assert boxes(result) == [DONE]
    # Byte order: "D" before "a" before "d"; a.dat once.
    assert file_requests(http_server) == ["Data.dat", "a.dat", "data.dat"]
    files = app_files(prefix)
    # The file system ignores case: the later download replaced the earlier.
    assert {n.lower(): b for n, b in files.items() if n.lower() == "data.dat"} == {
        "data.dat": b"lower"}
    assert files["a.dat"] == b"a"
    assert files["local_list.txt"] == b"a.dat|1\nData.dat|1\na.dat|3\ndata.dat|1\n"
