"""Faults, bad input and hostile servers under Wine. Every scenario runs the
real launcher and then checks the one invariant of bench/invariant.py: each
file under C:\\corvane3 is its old bytes or the server's complete new body,
local_list.txt records no version whose bytes are missing, nothing outside
the application directory changes but the shortcut, the exit code is 0 or 1,
and no temporary file stays behind."""
import os
import pathlib
import random
import re
import subprocess
import threading
import time

import pytest

from bench import invariant, paths
from bench.launcher import APP_DIR
from bench.update_checks import BASE_PATH, LIST_PATH, file_requests, list_text
from bench.update_checks import DONE as DONE_BOX
from bench.update_checks import failure_box
from test_verified import SIGNATURE_PATH, SIGNED, sign

# Quick runs: no relay trace (so the boxes' icons are not known), a bounded
# wait for the started program.
RUN = {"relay": False, "child_wait_ms": 3000}
DONE = DONE_BOX[:2]


def boxes(result):
    """(caption, text) of every box, in order."""
    return [box.brief()[:2] for box in result.boxes]


def failed_box(names):
    return failure_box(names)[:2]


def old(name):
    return f"installed {name}\r\n".encode() * 20


def new(name):
    return f"new release of {name}\r\n".encode() * 200


def serve_release(server, answers, version=2):
    """Lists every name at `version` and answers each as told: bytes for a
    plain 200, or the options of a Route."""
    server.serve(LIST_PATH, list_text([(name, version) for name in answers]))
    for name, answer in answers.items():
        options = answer if isinstance(answer, dict) else {"body": answer}
        server.serve(BASE_PATH + name, **options)


def install(bench, names, with_app=True):
    """Version 1 of each name installed and recorded, the fake application
    as crv3v2.exe (recorded as current unless the server lists it)."""
    files = {name: old(name) for name in names}
    if with_app:
        files["crv3v2.exe"] = b"fake_app"
    bench.install_release(files)


def stop_server(server):
    """A Route.on_request that stops the whole server: its socket is closed
    before this answer goes on, so every later connection is refused."""
    def on_request(_handler):
        server.stop()
    return on_request


def drop_and_stop(server):
    """A Route.on_request that stops the server and drops this request
    without any answer."""
    def on_request(_handler):
        server.stop()
        raise ConnectionAbortedError("server stopped")
    return on_request


# --- the server goes away --------------------------------------------------------

FIVE = [f"part{i}.dat" for i in range(1, 6)]


@pytest.mark.parametrize("when", ["after-the-list", "in-the-third-of-five"])
def test_server_stops(bench, prefix, http_server, when):
    install(bench, FIVE)
    answers = {name: new(name) for name in FIVE}
    if when == "after-the-list":
        answers[FIVE[0]] = {"body": new(FIVE[0]), "on_request": drop_and_stop(http_server)}
        failed = FIVE
    else:
        answers[FIVE[2]] = {"body": new(FIVE[2]), "cut_after": 1000,
                            "on_request": stop_server(http_server)}
        failed = FIVE[2:]
    serve_release(http_server, answers)
    before = invariant.snapshot(prefix)

    result = bench.run(**RUN)

    invariant.check(prefix, before, result, http_server)
    assert result.exit_code == 0 and len(result.started) == 1
    done = [DONE] if len(failed) < len(FIVE) else []
    assert boxes(result) == [failed_box(failed)] + done
    record = invariant.parse_record((prefix.app_dir / "local_list.txt").read_bytes())
    if done:
        # The record follows the server for what arrived and forgets the rest.
        assert record == {b"part1.dat": 2, b"part2.dat": 2}
    else:
        assert record == {n.encode(): 1 for n in FIVE + ["crv3v2.exe"]}


# --- one fault per file ----------------------------------------------------------

SLOW = bytes(range(256)) * 24  # 6 KB at 3 KB/s: about two seconds

# Listed name: (how the server answers, whether the file arrives).
PER_FILE = {
    "e403.dat": ({"body": b"forbidden", "status": 403}, False),
    "e404.dat": ({"body": b"not found", "status": 404}, False),
    "e500.dat": ({"body": b"server error", "status": 500}, False),
    "cut.dat": ({"body": new("cut.dat"), "cut_after": 1500}, False),
    "reset.dat": ({"body": new("reset.dat"), "reset_after": 1500}, False),
    # Installed read-only and hidden: a failure keeps both attributes.
    "read-only-404.dat": ({"body": b"not found", "status": 404}, False),
    # Not installed before: nothing may appear in their place.
    "new-404.dat": ({"body": b"not found", "status": 404}, False),
    "new-cut.dat": ({"body": new("new-cut.dat"), "cut_after": 4000}, False),
    # The platform follows a redirect: the file gets the other file's body.
    "moved.dat": ({"body": b"", "status": 302,
                   "headers": {"Location": BASE_PATH + "target.dat"}}, True),
    "target.dat": ({"body": new("target.dat")}, True),
    "slow.dat": ({"body": SLOW, "rate": 3072}, True),
    "unannounced.dat": ({"body": new("unannounced.dat"), "content_length": False}, True),
    # Compressed with the compressed length announced, as IIS does; stored
    # decoded, whether that is longer or shorter than the compressed body.
    "gzip.dat": ({"body": new("gzip.dat"), "gzip": True}, True),
    "gzip-tiny.dat": ({"body": b"x", "gzip": True}, True),
}
NOT_INSTALLED = {"new-404.dat", "new-cut.dat"}


def set_attributes(prefix, name, *flags):
    """attrib.exe's +r/+h on a file in C:\\corvane3, as Windows sets them
    (Wine's attrib takes one flag per call)."""
    for flag in flags:
        prefix.wine("attrib", flag, APP_DIR + "\\" + name, check=True,
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def attributes(prefix, name):
    """The attribute letters attrib.exe shows for a file in C:\\corvane3."""
    path = APP_DIR + "\\" + name
    shown = prefix.wine("attrib", path, check=True, capture_output=True).stdout.decode("cp949")
    return set(shown[:shown.index(path)].replace(" ", ""))


def modified_times(prefix, names):
    return {name: os.stat(prefix.app_dir / name).st_mtime_ns for name in names}


def test_one_fault_per_file(bench, prefix, http_server):
    install(bench, [name for name in PER_FILE if name not in NOT_INSTALLED])
    set_attributes(prefix, "read-only-404.dat", "+r", "+h")
    serve_release(http_server, {name: answer for name, (answer, _) in PER_FILE.items()})
    failed = sorted(name for name, (_, stored) in PER_FILE.items() if not stored)
    kept = [name for name in failed if name not in NOT_INSTALLED]
    before = invariant.snapshot(prefix)
    times_before = modified_times(prefix, kept)

    result = bench.run(**RUN)

    invariant.check(prefix, before, result, http_server)
    assert boxes(result) == [failed_box(failed), DONE]
    files = prefix.app_files()
    for name, (answer, stored) in PER_FILE.items():
        if name in NOT_INSTALLED and not stored:
            assert name not in files, name
            continue
        expected = invariant.served_bodies(http_server)[name.encode()] if stored else old(name)
        assert files[name] == expected, name
    # A failed file is not even touched.
    assert modified_times(prefix, kept) == times_before
    assert attributes(prefix, "read-only-404.dat") == {"A", "R", "H"}
    # Each file is asked for once; the redirect's target once more.
    assert {name: len(http_server.requests_for(BASE_PATH + name)) for name in PER_FILE} == {
        name: 2 if name == "target.dat" else 1 for name in PER_FILE}
    record = invariant.parse_record(files["local_list.txt"])
    assert sorted(record) == sorted(n.encode() for n, (_, s) in PER_FILE.items() if s)


# --- HTTPS certificates the platform must refuse -------------------------------------

@pytest.mark.parametrize("certificate", ["untrusted", "expired", "wrong-name"])
def test_refused_certificate_takes_the_offline_path(bench, prefix, https_server_factory,
                                                    certificate):
    server = https_server_factory(certificate)
    install(bench, ["a.dat"])
    serve_release(server, {"a.dat": new("a.dat"), "crv3v2.exe": b"replaced"})
    before = invariant.snapshot(prefix)

    result = bench.run("/updated", preset="wine-https", **RUN)

    # Nothing is served as far as the launcher can tell: any change breaks it.
    invariant.check(prefix, before, result, None)
    assert result.exit_code == 0 and boxes(result) == []
    # The installed application starts as on the offline path, switch passed on.
    assert [(e["module"], e["arguments"], e["directory"]) for e in result.started] == [
        (APP_DIR + "\\crv3v2.exe", "/updated", APP_DIR)]
    assert not result.shortcut["exists"]
    assert [r.path for r in server.requests] == []


# --- the target in the way ---------------------------------------------------------

class HeldOpen:
    """hold_open.exe holding a file under C:\\corvane3 without sharing, or
    with `load` keeping it loaded as a library."""

    def __init__(self, prefix, name, load=False):
        self.ready = paths.SCRATCH / "hold_open.ready"
        self.hold = paths.SCRATCH / "hold_open.hold"
        self.ready.unlink(missing_ok=True)
        self.hold.write_text("hold")
        self.process = subprocess.Popen(
            [paths.WINE_LOADER, paths.program("hold_open", prefix.preset),
             *(["--load"] if load else []),
             APP_DIR + "\\" + name,
             paths.windows_path(self.ready), paths.windows_path(self.hold)],
            env=prefix.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 30
        while not self.ready.exists():
            assert self.process.poll() is None, "hold_open.exe could not open the file"
            assert time.monotonic() < deadline, "hold_open.exe did not start"
            time.sleep(0.05)

    def release(self):
        self.hold.unlink(missing_ok=True)
        return self.process.wait(30)


def test_targets_in_the_way(bench, prefix, http_server):
    names = ["read-only.dat", "held.dat", "folder.dat", "blocker/inner.dat", "good.dat"]
    install(bench, ["read-only.dat", "held.dat", "good.dat", "blocker"])
    set_attributes(prefix, "read-only.dat", "+r", "+h")
    (prefix.app_dir / "folder.dat").mkdir()
    (prefix.app_dir / "folder.dat" / "keep.txt").write_bytes(b"keep")
    serve_release(http_server, {name: new(name) for name in names})
    holder = HeldOpen(prefix, "held.dat")
    try:
        before = invariant.snapshot(prefix)
        result = bench.run(**RUN)
    finally:
        assert holder.release() == 0

    invariant.check(prefix, before, result, http_server)
    assert boxes(result) == [failed_box(["blocker/inner.dat", "folder.dat", "held.dat"]), DONE]
    files = prefix.app_files()
    assert files["read-only.dat"] == new("read-only.dat")
    # Made writable to be replaced, and left so; it stays hidden.
    assert os.stat(prefix.app_dir / "read-only.dat").st_mode & 0o200, "left read-only"
    assert attributes(prefix, "read-only.dat") == {"A", "H"}
    assert files["held.dat"] == old("held.dat") and files["blocker"] == old("blocker")
    assert files[os.path.join("folder.dat", "keep.txt")] == b"keep"
    # Where nothing can be stored, nothing is asked for.
    assert file_requests(http_server) == ["good.dat", "held.dat", "read-only.dat"]


# A file a running program runs can be renamed but not replaced: it is renamed
# aside, the new file moves in, and the aside copy goes once nothing holds it.
ASIDE = invariant.ASIDE
LAUNCHER_IN_APP_DIR = APP_DIR + "\\crv3launcher.exe"


def newer(program):
    """The same program with bytes appended after its image: it runs alike."""
    return program + b"\0newer release" * 64


def test_the_running_launcher_replaces_itself(bench, prefix, http_server):
    launcher = paths.launcher("wine-http").read_bytes()
    bench.install_release({"crv3launcher.exe": launcher, "crv3v2.exe": b"fake_app"})
    http_server.serve(LIST_PATH, list_text([("crv3launcher.exe", 2), ("crv3v2.exe", 1)]))
    http_server.serve(BASE_PATH + "crv3launcher.exe", newer(launcher))
    before = invariant.snapshot(prefix)

    result = bench.run(launcher=LAUNCHER_IN_APP_DIR, **RUN)

    invariant.check(prefix, before, result, http_server, held=("crv3launcher.exe",))
    assert boxes(result) == [DONE]
    assert [e["module"] for e in result.started] == [APP_DIR + "\\crv3v2.exe"]
    files = prefix.app_files()
    assert files["crv3launcher.exe"] == newer(launcher)
    # The old launcher ran its run to the end from its aside copy.
    assert files["crv3launcher.exe" + ASIDE] == launcher
    assert invariant.parse_record(files["local_list.txt"])[b"crv3launcher.exe"] == 2

    # The new launcher: nothing to fetch, and the old copy is gone.
    before = invariant.snapshot(prefix)
    requested = len(file_requests(http_server))
    result = bench.run(launcher=LAUNCHER_IN_APP_DIR, **RUN)

    invariant.check(prefix, before, result, http_server)
    assert boxes(result) == [] and len(file_requests(http_server)) == requested
    assert [e["module"] for e in result.started] == [APP_DIR + "\\crv3v2.exe"]


def test_a_loaded_library_is_replaced_and_its_old_copy_goes_later(bench, prefix, http_server):
    """The old copy is never put back: when the new file is lost (a
    quarantine, a user) while the old one still runs, the next run fetches it
    again. A user's file that only ends like an aside copy is not touched."""
    plugin = (paths.program("hold_open", prefix.preset).parent / "bench_plugin.dll").read_bytes()
    bench.install_release({"plugin.dll": plugin, "crv3v2.exe": b"fake_app"})
    notes = {"notes.txt": b"mine", "notes.txt" + ASIDE: b"my backup"}
    for name, data in notes.items():
        (prefix.app_dir / name).write_bytes(data)
    serve_release(http_server, {"plugin.dll": newer(plugin)})
    holder = HeldOpen(prefix, "plugin.dll", load=True)
    try:
        before = invariant.snapshot(prefix)
        result = bench.run(**RUN)
        invariant.check(prefix, before, result, http_server, held=("plugin.dll",), kept=notes)
        assert boxes(result) == [DONE]
        assert prefix.app_files()["plugin.dll" + ASIDE] == plugin
        (prefix.app_dir / "plugin.dll").unlink()
        # While the program runs, the next run cannot remove the copy yet.
        before = invariant.snapshot(prefix)
        result = bench.run(**RUN)
        invariant.check(prefix, before, result, http_server, held=("plugin.dll",), kept=notes)
        assert boxes(result) == [DONE]
        assert prefix.app_files()["plugin.dll"] == newer(plugin)
    finally:
        assert holder.release() == 0

    before = invariant.snapshot(prefix)
    result = bench.run(**RUN)

    invariant.check(prefix, before, result, http_server, kept=notes)
    assert boxes(result) == [] and file_requests(http_server) == ["plugin.dll"] * 2
    # The old copy and the journal that named it are gone; the user's files stay.
    files = prefix.app_files()
    assert sorted(files) == sorted([*notes, "plugin.dll", "crv3v2.exe", "local_list.txt"])
    assert {n: files[n] for n in notes} == notes and files["plugin.dll"] == newer(plugin)


def test_old_files_left_aside_are_put_back_before_selection(bench, prefix, http_server):
    """A run stopped between its two moves left a.dat's old bytes aside, noted
    in its journal, and no a.dat. Launchers from before the journal left
    sub/b.dat's copy beside it and c.dat's alone."""
    install(bench, ["a.dat", "sub/b.dat", "c.dat"])
    (prefix.app_dir / "a.dat").rename(prefix.app_dir / ("a.dat" + ASIDE))
    (prefix.app_dir / invariant.JOURNAL).write_bytes(
        b"crv3launcher owned files\r\naside|moving|a.dat.crv3old\r\nend\r\n")
    (prefix.app_dir / "sub" / ("b.dat" + ASIDE)).write_bytes(b"b.dat before its update")
    (prefix.app_dir / "c.dat").rename(prefix.app_dir / ("c.dat" + ASIDE))
    serve_release(http_server, {n: new(n) for n in ["a.dat", "sub/b.dat", "c.dat"]}, version=1)
    before = invariant.snapshot(prefix)

    result = bench.run(**RUN)

    invariant.check(prefix, before, result, http_server, kept=("c.dat" + ASIDE,))
    # a.dat is back and recorded; c.dat's old bytes are never put back: it is
    # fetched again, and its copy goes once it has its target beside it.
    assert boxes(result) == [DONE] and file_requests(http_server) == ["c.dat"]
    files = prefix.app_files()
    assert files["a.dat"] == old("a.dat") and files["c.dat"] == new("c.dat")
    assert invariant.temporary_files(prefix) == ["c.dat" + ASIDE]
    assert invariant.JOURNAL not in files


def test_data_is_flushed_before_any_name_points_at_it(bench, prefix, http_server, tmp_path):
    """A file trace of a real update: every file moved into C:\\corvane3 and
    the record were flushed before, and the record moves in last."""
    names = ["a.dat", "sub/b.dat", "config.i.zip"]
    install(bench, ["a.dat"])
    serve_release(http_server, {name: new(name) for name in names})
    trace = tmp_path / "files.strace"

    result = bench.run(file_trace=trace, **RUN)

    assert boxes(result) == [DONE]
    traced = [trace, trace.with_name(trace.name + ".server")]
    renames = [line for p in traced for line in p.read_text().splitlines() if "rename" in line]
    assert len(renames) >= len(names) + 1, "the trace shows no renames"
    assert invariant.durability_problems(prefix, traced) == []


# --- killed in the middle of a download ------------------------------------------------

BIG = bytes(range(256)) * 1024  # 256 KB


def test_killed_mid_download_recovers_on_the_next_run(bench, prefix, http_server):
    install(bench, ["a.dat", "big.dat", "z.dat"])
    serve_release(http_server, {"a.dat": new("a.dat"), "big.dat": {"body": BIG, "rate": 65536},
                                "z.dat": new("z.dat")})
    before = invariant.snapshot(prefix)

    killed = bench.run(kill_on_text="다운로드 중: big.dat (", **RUN)

    assert killed.killed, killed.events
    # What the kill left is consistent already; the record was not rewritten.
    invariant.check(prefix, before, killed, http_server, cache_copies_allowed=True)
    assert (prefix.app_dir / "local_list.txt").read_bytes() == before.record
    files = prefix.app_files()
    assert (files["a.dat"], files["big.dat"]) == (new("a.dat"), old("big.dat"))

    http_server.serve(BASE_PATH + "big.dat", BIG)
    result = bench.run(**RUN)

    invariant.check(prefix, before, result, http_server)
    assert boxes(result) == [DONE]
    files = prefix.app_files()
    assert [files[n] for n in ("a.dat", "big.dat", "z.dat")] == [new("a.dat"), BIG, new("z.dat")]


def test_leftover_staging_files_are_replaced(bench, prefix, http_server):
    """Staging files a killed run left (the downloads' and the record's) are
    written over and gone after the next run that writes those targets, also
    the one of a name that just fits the path limit, whose staging path does
    not (it is reached in its long-path form)."""
    longest = LONGEST
    install(bench, ["a.dat", longest])
    for name in ("a.dat", longest, "local_list.txt"):
        (prefix.app_dir / (name + ".crv3part")).write_bytes(b"left by a killed run")
    serve_release(http_server, {"a.dat": new("a.dat"), longest: new(longest)})
    before = invariant.snapshot(prefix)

    result = bench.run(**{**RUN, "relay": True})

    assert boxes(result) == [DONE]
    # Wine takes long paths in any form; Windows only in the long-path form.
    assert [c.args[2].text for c in result.calls_named("URLDownloadToFileW")] == [
        "C:\\corvane3\\a.dat.crv3part",
        "\\\\?\\C:\\corvane3\\" + longest.replace("/", "\\") + ".crv3part"]
    assert invariant.temporary_files(prefix) == []
    assert prefix.app_files()["a.dat"] == new("a.dat")
    assert prefix.app_files()[os.path.join(*longest.split("/"))] == new(longest)
    assert invariant.parse_record(prefix.app_files()["local_list.txt"]) == {
        b"a.dat": 2, longest.encode(): 2}
    # Apart from the staging files, the invariant holds.
    assert [p for p in invariant.problems(prefix, before, result, http_server)
            if "crv3part: removed" not in p] == []


# --- hostile lists ----------------------------------------------------------------------

# Names that must never be fetched nor written: they leave C:\corvane3, name a
# drive, a stream or a device, are nothing but dots and blanks, carry the
# launcher's staging or aside ending (also once Windows drops trailing dots), or do not
# fit the path limit.
HOSTILE = [
    "../escape.dat", "..\\escape.dat", "sub/../../escape.dat", "..", "sub/..", "...", ". /x.dat",
    "/", "C:\\escape.dat", "C:escape.dat", "good.dat:stream", "good.dat::$DATA",
    "CON", "NUL", "nul.txt", "sub/AUX.dat", "PRN/inner.dat", "COM1", "lpt1.log", "CON .txt",
    "n" * 300, "s/" * 150 + "deep.dat", "x.dat.crv3part", "y.dat.crv3part.",
    "z.dll.crv3old", "sub/W.DLL.CRV3OLD ",
]
# Bytes the ANSI code page (949) turns into some name; the server has nothing
# for it, whatever it becomes.
GARBAGE = bytes(b for b in range(0x80, 0x100)) + b"\x01\x02\x1b\x7f"


def hostile_requests(server):
    names = set(HOSTILE) | {n.replace("\\", "/") for n in HOSTILE}
    return [r.raw_path for r in server.requests
            if r.path.decode("utf-8", "replace")[len(BASE_PATH):] in names]


def test_hostile_names_in_the_list(bench, prefix, http_server):
    install(bench, ["good.dat"])
    entries = [(name, 2) for name in HOSTILE] + [(GARBAGE, 2), ("good.dat", 2)]
    http_server.serve(LIST_PATH, list_text(entries))
    for name in HOSTILE + ["good.dat"]:
        # Whatever is asked for would be answered.
        http_server.serve(BASE_PATH + name, new(name))
    http_server.serve("/escape.dat", new("escape.dat"))
    before = invariant.snapshot(prefix)

    result = bench.run(**RUN)

    invariant.check(prefix, before, result, http_server)
    assert hostile_requests(http_server) == []
    assert [r.path for r in http_server.requests_for("/escape.dat")] == []
    assert len(http_server.requests_for(BASE_PATH + "good.dat")) == 1
    (warning, done) = boxes(result)
    assert warning[0] == "경고" and warning[1].endswith(f"... 외 {len(HOSTILE) + 1 - 10}개")
    assert done == DONE
    assert prefix.app_files()["local_list.txt"] == list_text([("good.dat", 2)])
    assert prefix.app_files()["good.dat"] == new("good.dat")


# --- names Windows stores inside C:\corvane3 -----------------------------------------

# C:\corvane3\ and this name: 259 units, the longest path MAX_PATH allows.
# (Its staging path is longer; the host's own limit of 255 bytes per
# component is kept.)
LONGEST = "l" * 120 + "/" + "n" * 126

# Listed names (as the list's lines give them) and where Windows stores them.
INSIDE = {
    "blank.dat ": "blank.dat",          # the line "blank.dat | 2"
    "/lead.dat": "lead.dat",
    "\\back.dat": "back.dat",
    "\\\\127.0.0.1\\c$\\unc.dat": os.path.join("127.0.0.1", "c$", "unc.dat"),
    "dots./x.dat": os.path.join("dots", "x.dat"),
    LONGEST: os.path.join(*LONGEST.split("/")),
}


def test_names_windows_stores_inside_install_and_stay(bench, prefix, http_server):
    """The list comes gzip-compressed with its compressed length announced;
    every name installs, is recorded, and is found again on the next run."""
    install(bench, ["good.dat"])
    listed = list_text([(name, 2) for name in INSIDE]).replace(b"blank.dat |2", b"blank.dat | 2")
    http_server.serve(LIST_PATH, listed + list_text([("good.dat", 2)]), gzip=True)
    for name in list(INSIDE) + ["good.dat"]:
        http_server.serve(BASE_PATH + name, new(name))

    for run in ("install", "nothing to do"):
        http_server.requests.clear()
        before = invariant.snapshot(prefix)
        result = bench.run(**RUN)

        invariant.check(prefix, before, result, http_server)
        assert "gzip" in http_server.requests_for(LIST_PATH)[0].headers["Accept-Encoding"]
        if run == "install":
            assert boxes(result) == [DONE]
            assert sorted(file_requests(http_server)) == sorted(list(INSIDE) + ["good.dat"])
        else:
            assert (boxes(result), file_requests(http_server)) == ([], [])
        files = prefix.app_files()
        assert [files[stored] for stored in INSIDE.values()] == [new(n) for n in INSIDE]
        assert files["local_list.txt"] == listed + list_text([("good.dat", 2)])


TEN_MB = 10 * 1024 * 1024


@pytest.mark.parametrize("size", ["100000-entries", "10MB-line"])
def test_huge_lists(bench, prefix, http_server, size):
    install(bench, ["good.dat"])
    if size == "100000-entries":
        # Every entry leaves the directory, so none of them costs a request.
        text = b"".join(b"../many/%06d.dat|2\r\n" % i for i in range(100000))
        failures = 100000
    else:
        # One name of 10 MB, listed first: it is shown in the window's list
        # and in the failure box.
        text = b"A" * TEN_MB + b"|2\r\n"
        failures = 1
    text += list_text([("good.dat", 2)])
    http_server.serve(LIST_PATH, text)
    http_server.serve(BASE_PATH + "good.dat", new("good.dat"))
    before = invariant.snapshot(prefix)

    started = time.monotonic()
    result = bench.run(**RUN)
    elapsed = time.monotonic() - started

    invariant.check(prefix, before, result, http_server)
    assert [r.path for r in http_server.requests] == [LIST_PATH.encode(),
                                                      (BASE_PATH + "good.dat").encode()]
    (warning, done) = boxes(result)
    assert warning[0] == "경고" and done == DONE
    if failures > 10:
        assert warning[1].endswith(f"... 외 {failures - 10}개")
    assert prefix.app_files()["local_list.txt"] == list_text([("good.dat", 2)])
    assert elapsed < 60, elapsed


def sample_peak_memory(peak, done, program=b"crv3launcher.exe"):
    """Keeps peak[0] at the highest VmHWM (kB) of the launcher's process,
    from /proc, until done is set."""
    while not done.wait(0.05):
        for status in pathlib.Path("/proc").glob("[0-9]*/status"):
            try:
                command = status.with_name("cmdline").read_bytes().split(b"\0")
                if command[0].lower().endswith(program):
                    hwm = re.search(r"VmHWM:\s*(\d+)", status.read_text())
                    peak[0] = max(peak[0], int(hwm.group(1)))
            except (OSError, AttributeError):
                continue


ENDLESS_RATE = 5_000_000  # bytes a second; see the README on loopback speed
LIST_LIMIT = 32 << 20
# The launcher peaks near 30 MB under Wine whether it stops the list or the
# signature. Without the bound the run never ends: the platform's open call
# waits for the end of the body, holding more of it all the while.
PEAK_MEMORY_KB = 96 * 1024


@pytest.mark.parametrize("endless", ["list", "signature"])
def test_a_body_without_end_takes_the_offline_path(bench, prefix, http_server,
                                                   https_server_factory, endless):
    install(bench, ["a.dat"])
    listed = list_text([("a.dat", 2)])
    if endless == "list":
        server, preset = http_server, "wine-http"
        server.serve(LIST_PATH, listed, endless=True, rate=ENDLESS_RATE)
    else:
        server, preset = https_server_factory(), SIGNED
        server.serve(LIST_PATH, listed)
        server.serve(SIGNATURE_PATH, sign(listed), endless=True, rate=ENDLESS_RATE)
    server.serve(BASE_PATH + "a.dat", new("a.dat"))
    before = invariant.snapshot(prefix)

    peak, done = [0], threading.Event()
    sampler = threading.Thread(target=sample_peak_memory, args=(peak, done), daemon=True)
    sampler.start()
    result = bench.run(preset=preset, **RUN)
    done.set()
    sampler.join()

    # Nothing is taken from the server; what the platform cached of the
    # endless body stops near the limit too.
    invariant.check(prefix, before, result, None)
    assert result.exit_code == 0 and boxes(result) == []
    assert [e["module"] for e in result.started] == [APP_DIR + "\\crv3v2.exe"]
    assert "a.dat" not in file_requests(server)
    cached = {p: state[0] for p, state in invariant._cache_files(prefix).items()
              if before.cache.get(p) != state}
    # Wine keeps the part of a stopped body (see the README); gone, it takes
    # no cache name that later scenarios expect.
    for path in cached:
        path.unlink()
    assert max(cached.values(), default=0) < 2 * LIST_LIMIT
    assert 0 < peak[0] < PEAK_MEMORY_KB, peak[0]


# --- hostile records: local_list.txt and cv3info.ini --------------------------------------

def junk_lines():
    """The same kinds of content as the hostile lists, as version-list and
    info-file lines, with 100,000 entries and a 10 MB line."""
    names = [n.encode("cp949") for n in HOSTILE] + [GARBAGE, b"A" * TEN_MB]
    names += [b"../many/%06d.dat" % i for i in range(100000)]
    return names


@pytest.mark.parametrize("kind", ["junk-entries", "binary-garbage"])
def test_hostile_records(bench, prefix, http_server, kind):
    install(bench, ["good.dat", "kept.dat"])
    if kind == "junk-entries":
        names = junk_lines()
        record = b"".join(n + b"|99\r\n" for n in names) + b"good.dat|1\r\nkept.dat|1\r\n"
        info = b"".join(b"[s]\r\nfn=" + n + b"\r\nver=99\r\n" for n in names)
        info += b"[kept]\r\nfn=kept.dat\r\nver=9\r\n"
        fetched, current = ["good.dat"], ["kept.dat"]
    else:
        noise = random_bytes(2 * 1024 * 1024)
        record, info = noise[:len(noise) // 2], noise[len(noise) // 2:]
        fetched, current = ["good.dat", "kept.dat"], []
    (prefix.app_dir / "local_list.txt").write_bytes(record)
    (prefix.app_dir / "cv3info.ini").write_bytes(info)
    text = list_text([("good.dat", 2), ("kept.dat", 2)])
    http_server.serve(LIST_PATH, text)
    for name in ("good.dat", "kept.dat"):
        http_server.serve(BASE_PATH + name, new(name))
    before = invariant.snapshot(prefix)

    result = bench.run(**RUN)

    invariant.check(prefix, before, result, http_server, current=current)
    assert file_requests(http_server) == fetched
    assert boxes(result) == [DONE]
    files = prefix.app_files()
    assert files["local_list.txt"] == text and files["cv3info.ini"] == info


def random_bytes(size, seed=6):
    return random.Random(seed).randbytes(size)


# --- the invariant's own check, on the host ------------------------------------------------

class FakePrefix:
    """The parts of a Wine prefix the invariant reads, in a plain folder."""

    def __init__(self, root):
        self.drive_c = root / "drive_c"
        self.app_dir = self.drive_c / "corvane3"
        self.user_folder = self.drive_c / "users" / "someone"
        self.desktop = self.user_folder / "Desktop"
        for folder in (self.app_dir / "sub", self.desktop):
            folder.mkdir(parents=True)
        cache_entry(self, "index.dat").write_bytes(b"the platform's own")


BREACHES = {
    "partial body": lambda p: (p.app_dir / "a.dat").write_bytes(new("a.dat")[:100]),
    "removed file": lambda p: (p.app_dir / "a.dat").unlink(),
    "new stray file": lambda p: (p.app_dir / "stray.dat").write_bytes(b"x"),
    "temporary file": lambda p: (p.app_dir / "sub" / "b.dat.crv3part").write_bytes(b""),
    "old temporary name": lambda p: (p.app_dir / "cv3A1.tmp").write_bytes(b""),
    "read-only dropped": lambda p: os.chmod(p.app_dir / "a.dat", 0o644),
    "record ahead of disk": lambda p: (p.app_dir / "local_list.txt").write_bytes(
        b"a.dat|2\r\nsub/b.dat|2\r\n"),
    "outside written": lambda p: (p.drive_c / "escape.dat").write_bytes(b"x"),
    "desktop written": lambda p: (p.desktop / "other.lnk").write_bytes(b"x"),
    "cached copy kept": lambda p: cache_entry(p, "a[1]").write_bytes(new("a.dat")),
}


def cache_entry(prefix, name):
    folder = prefix.user_folder.joinpath("AppData", "Local", "Microsoft", "Windows", "INetCache",
                                         "Content.IE5", "X1")
    folder.mkdir(parents=True, exist_ok=True)
    return folder / name


class Served:
    """An UpdateServer's routes, as far as the invariant reads them."""

    def __init__(self, bodies):
        from bench.server import Route
        self.routes = {(BASE_PATH + n).encode(): Route(body=b) for n, b in bodies.items()}


@pytest.mark.parametrize("breach", BREACHES)
def test_invariant_sees_every_breach(tmp_path, breach):
    prefix = FakePrefix(tmp_path)
    (prefix.app_dir / "a.dat").write_bytes(old("a.dat"))
    os.chmod(prefix.app_dir / "a.dat", 0o444)
    (prefix.app_dir / "sub" / "b.dat").write_bytes(old("b.dat"))
    (prefix.app_dir / "local_list.txt").write_bytes(b"a.dat|1\r\nsub/b.dat|1\r\n")
    server = Served({"a.dat": new("a.dat"), "sub/b.dat": new("sub/b.dat")})
    before = invariant.snapshot(prefix)
    # What a good run may do: replace a file with its complete new body,
    # record it, and write the shortcut.
    (prefix.app_dir / "sub" / "b.dat").write_bytes(new("sub/b.dat"))
    (prefix.app_dir / "local_list.txt").write_bytes(b"a.dat|1\r\nsub/b.dat|2\r\n")
    (prefix.desktop / "Corvane3실행.lnk").write_bytes(b"link")
    cache_entry(prefix, "index.dat").write_bytes(b"changed by the platform")
    assert invariant.problems(prefix, before, None, server) == []

    BREACHES[breach](prefix)

    assert invariant.problems(prefix, before, None, server) != []
