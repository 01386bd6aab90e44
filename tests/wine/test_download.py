"""Downloads and the progress window under Wine, from the outside: what the
window shows while a throttled server feeds the launcher, the URL each name is
requested at and where its bytes are stored, and DownloadFile on its own. The
failed transfers, one fault per file, are fault cases: test_faults.py."""
import hashlib
import os
import re
import socket
import stat
import subprocess

import pytest

from bench import invariant, paths
from bench.launcher import APP_DIR
from bench.server import Route

LIST_PATH = "/cv3down/filelist.txt"
BASE_PATH = "/cv3down/"

TITLE = "코르바네소프트(주) Corvane3 업데이트 중..."
PREPARING = "준비 중..."
COMPLETED = ("알림", "업데이트가 완료되었습니다. 프로그램을 재시작합니다", "information")
NOT_FOUND = ("알림", "실행 파일을 찾을 수 없습니다.\n다시 실행해주세요.", "information")
FAILURE_HEADING = "다음 파일 다운로드에 실패했습니다:\n\n"

WS_POPUP, WS_CAPTION, WS_SYSMENU = 0x80000000, 0x00C00000, 0x00080000
WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX = 0x00040000, 0x00020000, 0x00010000
WS_EX_TOOLWINDOW, WS_EX_TOPMOST = 0x80, 0x08
WS_CHILD_VISIBLE = 0x50000000
SS_CENTER, SS_SUNKEN = 0x1, 0x1000

# The window's controls in creation order: (id, class, offset from the first
# control's corner, size). Screen rectangles give offsets, not client positions.
CONTROLS = [
    (0, "static", (0, 0), (460, 20)),
    (1001, "static", (0, 25), (460, 70)),
    (0, "static", (0, 100), (460, 20)),
    (0, "msctls_progress32", (0, 125), (460, 25)),
    (1002, "static", (0, 160), (460, 20)),
]

STATUS = re.compile(r"^다운로드 중: (.*) \((\d+)%\)$")


def boxes(result):
    return [box.brief() for box in result.boxes]


def list_text(names, version=1):
    """The server's version list for these names; the launcher reads it in
    the ANSI code page (949)."""
    return "".join(f"{name}|{version}\r\n" for name in names).encode("cp949")


def publish(server, files, version=1):
    """Serves the list and each file ({listed name: bytes or serve() options})."""
    server.serve(LIST_PATH, list_text(files, version))
    for name, answer in files.items():
        options = answer if isinstance(answer, dict) else {"body": answer}
        server.serve(BASE_PATH + name, **options)


def samples_of(result):
    """The progress window's samples taken once all its controls existed."""
    return [s for s in result.progress if len(s["controls"]) == len(CONTROLS)]


def control(sample, index):
    return sample["controls"][index]


def status_text(sample):
    return control(sample, 2)["text"]


def overall_text(sample):
    return control(sample, 4)["text"]


def bar(sample):
    return control(sample, 3)


# --- the progress window while files arrive -------------------------------------

# Listed in download order (the list is ordered by name). The ".i.zip" name is
# listed under its server name and shown and stored under its local one.
THROTTLED = {
    "a.dat": bytes(range(256)) * 40,
    "b folder/b.dat": b"b" * 10240,
    "c.i.zip": b"[c]\r\n" * 2048,
    "d.dat": b"d" * 10240,
}
SHOWN_NAMES = {"a.dat": "a.dat", "b folder/b.dat": "b folder/b.dat", "c.i.zip": "c.ini",
               "d.dat": "d.dat"}


def test_window_follows_a_throttled_update(bench, prefix, http_server):
    # Two seconds a file: the driver samples when the launcher pumps, and a
    # loaded machine answers it far less often than every piece.
    publish(http_server, {name: {"body": body, "rate": 5120}
                          for name, body in THROTTLED.items()})

    result = bench.run()

    assert boxes(result) == [COMPLETED, NOT_FOUND]
    installed = prefix.app_files()
    for name, body in THROTTLED.items():
        assert installed[SHOWN_NAMES[name].replace("/", os.sep)] == body, name
    samples = samples_of(result)
    assert len(samples) >= 8, samples

    # The window itself: class, title, centred 500 x 250, styles.
    width, height = result.screen
    left, top = (width - 500) // 2, (height - 250) // 2
    for sample in samples:
        assert (sample["class"], sample["title"]) == ("DownloadProgressClass", TITLE)
        assert sample["rect"] == [left, top, left + 500, top + 250]
        assert sample["owner"] == "0x0"
    shown = samples[len(samples) // 2]
    style, ex_style = int(shown["style"], 16), int(shown["ex_style"], 16)
    assert style & (WS_POPUP | WS_CAPTION | WS_SYSMENU) == WS_POPUP | WS_CAPTION | WS_SYSMENU
    assert style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX) == 0
    assert ex_style & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST) == WS_EX_TOOLWINDOW | WS_EX_TOPMOST
    assert shown["visible"]

    # Its controls: order, ids, classes, layout, static styles.
    controls = shown["controls"]
    first = controls[0]["rect"]
    assert [(c["id"], c["class"].lower(), (c["rect"][0] - first[0], c["rect"][1] - first[1]),
             (c["rect"][2] - c["rect"][0], c["rect"][3] - c["rect"][1])) for c in controls] \
        == CONTROLS
    assert controls[0]["text"] == "다운로드 파일 목록:"
    assert int(controls[1]["style"], 16) & SS_SUNKEN
    assert int(controls[4]["style"], 16) & SS_CENTER
    assert all(c["visible"] for c in controls)

    # The list shows the first three listed names and how many more follow,
    # from the moment it is set to the end. (A sample reads the controls one
    # after the other, and the bar's query can wait for the busy window, so
    # an early sample may show the list empty beside a later count.)
    names = list(THROTTLED)
    lists = [control(s, 1)["text"] for s in samples]
    expected = "\r\n".join(names[:3]) + "\r\n... 외 1개"
    assert expected in lists and set(lists[lists.index(expected):]) == {expected}
    assert set(lists) <= {"", expected}

    # The bar runs from 0 to 100 whenever the window answers.
    answered = [bar(s) for s in samples if bar(s)["pos"] is not None]
    assert answered and all((b["low"], b["high"]) == (0, 100) for b in answered)
    assert all(0 <= b["pos"] <= 100 for b in answered)
    assert any(0 < b["pos"] < 100 for b in answered)

    # What the launcher set, exactly, from the relay trace: the overall count
    # goes 0 / 4, 1 / 4 ... 4 / 4, and while a file is fetched the status line
    # names it with a rising percentage.
    counts = [f"전체 진행: {k} / 4" for k in range(5)]
    texts = [call.args[1].text for call in result.calls_named("SetWindowTextW")]
    assert [t for t in texts if t.startswith("전체 진행")] == counts, texts
    for name in names:
        percentages = [int(m.group(2)) for m in map(STATUS.match, texts)
                       if m and m.group(1) == SHOWN_NAMES[name]]
        assert len(set(percentages)) >= 2, (name, percentages)
        assert percentages == sorted(percentages) and percentages[-1] <= 100, (name, percentages)

    # The running window, sampled, never shows them out of order (a loaded
    # machine may miss a short-lived text, so samples are not counted).
    overall = [overall_text(s) for s in samples]
    counted = [text for i, text in enumerate(overall) if i == 0 or text != overall[i - 1]]
    assert counted == [t for t in counts if t in counted], counted
    for k, name in enumerate(names, start=1):
        seen = [int(m.group(2)) for s in samples
                if overall_text(s) == counts[k] and (m := STATUS.match(status_text(s)))
                and m.group(1) == SHOWN_NAMES[name]]
        assert seen == sorted(seen) and set(seen) <= set(range(101)), (name, seen)
    assert invariant.temporary_files(prefix) == []
    assert_window_creation(result, left, top)


def assert_window_creation(result, left, top):
    """The exact arguments of the window's creation, from the relay trace:
    (extended style, class, text, style, x, y, width, height, parent is the
    window, menu argument = control id)."""
    calls = result.calls_named("CreateWindowExW")
    assert len(calls) == 6, calls
    window = calls[0]
    assert [a.text if a.text is not None else a.value for a in window.args[:10]] == [
        WS_EX_TOOLWINDOW | WS_EX_TOPMOST, "DownloadProgressClass", TITLE,
        WS_POPUP | WS_CAPTION | WS_SYSMENU, left, top, 500, 250, 0, 0]
    children = [(c.args[0].value, c.args[1].text, c.args[2].text if c.args[2].value else None,
                 c.args[3].value, *(a.value for a in c.args[4:8]), c.args[9].value)
                for c in calls[1:]]
    assert children == [
        (0, "STATIC", "다운로드 파일 목록:", WS_CHILD_VISIBLE, 20, 20, 460, 20, 0),
        (0, "STATIC", "", WS_CHILD_VISIBLE | SS_SUNKEN, 20, 45, 460, 70, 1001),
        (0, "STATIC", PREPARING, WS_CHILD_VISIBLE, 20, 120, 460, 20, 0),
        (0, "msctls_progress32", None, WS_CHILD_VISIBLE, 20, 145, 460, 25, 0),
        (0, "STATIC", "", WS_CHILD_VISIBLE | SS_CENTER, 20, 180, 460, 20, 1002),
    ]
    assert len({c.args[8].value for c in calls[1:]}) == 1 and calls[1].args[8].value != 0


@pytest.mark.parametrize("first, label", [
    (None, PREPARING),
    ({"a.dat": b"x" * 4096}, "다운로드 중: a.dat (100%)"),
], ids=["alone", "after-announced-file"])
def test_unannounced_size_moves_nothing_and_completes(bench, prefix, http_server, first, label):
    body = bytes(range(256)) * 64
    files = {**(first or {}), "b.dat": {"body": body, "rate": 8192, "content_length": False}}
    publish(http_server, files)

    result = bench.run()

    assert boxes(result) == [COMPLETED, NOT_FOUND]
    assert prefix.app_files()["b.dat"] == body
    total = len(files)
    during = [s for s in samples_of(result) if overall_text(s) == f"전체 진행: {total} / {total}"]
    # Samples are reported when something changed: while nothing moves over
    # the two seconds of the transfer, few come.
    assert during, result.progress
    # The label keeps what the last announced size left there (the previous
    # file's end); the bar, set back to 0 after the previous file, stays there.
    # Only the first of these samples may pair this file's texts with the bar
    # as the previous file's last pump answered it: the bar is asked across
    # processes and answers when the launcher pumps, the texts are read at
    # once, and the previous file's digest, flush and move lie between.
    assert {status_text(s) for s in during} == {label}
    assert {bar(s)["pos"] for s in during[1:]} <= {0, None}
    assert bar(during[0])["pos"] in {0, None, 100}
    assert invariant.temporary_files(prefix) == []


# --- names: the URL requested and the place stored ------------------------------

# (listed name, path the server must see, where the bytes land under
# C:\corvane3 or None when no file can carry that name)
NAMES = [
    ("data/sub/a b.dat", "/cv3down/data/sub/a%20b.dat", "data/sub/a b.dat"),
    ("한글.txt", "/cv3down/%ED%95%9C%EA%B8%80.txt", "한글.txt"),
    ("100%+ok#1.txt", "/cv3down/100%25%2Bok%231.txt", "100%+ok#1.txt"),
    ("sub\\back slash.dat", "/cv3down/sub%5Cback%20slash.dat", "sub/back slash.dat"),
    ("d1/d2/d3/d4/d5/d6/deep.dat", "/cv3down/d1/d2/d3/d4/d5/d6/deep.dat",
     "d1/d2/d3/d4/d5/d6/deep.dat"),
    ("폴더/하위 폴더/파일 #2.dat",
     "/cv3down/%ED%8F%B4%EB%8D%94/%ED%95%98%EC%9C%84%20%ED%8F%B4%EB%8D%94/"
     "%ED%8C%8C%EC%9D%BC%20%232.dat",
     "폴더/하위 폴더/파일 #2.dat"),
    # "?" is encoded like any other character, but Windows file names cannot
    # hold it: the file is fetched and then reported as failed.
    ("why?.txt", "/cv3down/why%3F.txt", None),
]


def test_names_are_encoded_in_the_url_and_stored_in_place(bench, prefix, http_server):
    bodies = {name: f"body of {name}".encode("utf-8") for name, _, _ in NAMES}
    publish(http_server, bodies)

    result = bench.run()

    unstorable = sorted(name for name, _, stored in NAMES if stored is None)
    failures = [b for b in boxes(result) if b[0] == "경고"]
    assert failures == ([("경고", FAILURE_HEADING + "".join(n + "\n" for n in unstorable),
                          "warning")] if unstorable else [])
    assert boxes(result)[-2:] == [COMPLETED, NOT_FOUND]
    installed = prefix.app_files()
    for name, raw_path, stored in NAMES:
        assert [r.raw_path for r in http_server.requests_for(BASE_PATH + name)] == [raw_path]
        if stored:
            assert installed.get(stored.replace("/", os.sep)) == bodies[name], name
    assert set(installed) == {s.replace("/", os.sep) for _, _, s in NAMES if s} | {
        "local_list.txt"}


# --- failed transfers leave the target as it was --------------------------------

def snapshot(path):
    """What a failed download must not change: the bytes (or the folder's
    entries), the mode that carries the read-only attribute, the extended
    attributes that carry the others, and the modification time."""
    info = os.lstat(path)
    content = (sorted(os.listdir(path)) if stat.S_ISDIR(info.st_mode)
               else path.read_bytes())
    extended = {name: os.getxattr(path, name) for name in os.listxattr(path)}
    return content, info.st_mode, extended, info.st_mtime_ns


NEW = b"new release " * 500


# Without a Content-Length the body ends with the connection, and Wine's
# WinINet mostly takes a reset for that end: URLDownloadToFileW, OnStopBinding
# and the HTTP status all report success, so the first bytes replace the file.
# Now and then (about one run in six on a loaded machine) the reset arrives as
# an error and the file fails as it should, so the mark is not strict.
@pytest.mark.xfail(strict=False, reason="Wine ends an unannounced body at a connection reset "
                   "without an error; the launcher cannot tell it from a complete one unless "
                   "the line carries a digest (test_verified.py)")
def test_reset_of_an_unannounced_body_leaves_target_untouched(bench, prefix, http_server):
    publish(http_server, {"reset.dat": {"body": NEW, "reset_after": 1000,
                                        "content_length": False}}, version=2)
    bench.install_release({"reset.dat": b"installed"})
    before = snapshot(prefix.app_dir / "reset.dat")

    result = bench.run()

    assert boxes(result)[0] == ("경고", FAILURE_HEADING + "reset.dat\n", "warning")
    assert snapshot(prefix.app_dir / "reset.dat") == before


# --- DownloadFile on its own (cases the launcher cannot reach) -------------------

def run_probe(prefix, *arguments):
    """download_probe.exe with URL/PATH/NAME triples; (exit code, its lines).
    Output goes through a file: Wine's desktop process, started by the first
    window, would inherit a pipe and hold it open."""
    program = paths.program("download_probe", prefix.preset)
    if not program.exists():
        pytest.fail(f"build the wine-http preset first; missing: {program}", pytrace=False)
    output = paths.SCRATCH / "download_probe.out"
    with output.open("wb") as out:
        done = prefix.wine(program, *arguments,
                           stdout=out, stderr=subprocess.DEVNULL, timeout=120)
    return done.returncode, output.read_text("utf-8").splitlines()


def unused_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


@pytest.mark.parametrize("case", ["no-window", "nothing-listens"])
def test_download_file_alone(bench, prefix, http_server, case):
    target = prefix.app_dir / "sub" / "probe.dat"
    target.parent.mkdir(parents=True)
    target.write_bytes(b"installed")
    before = snapshot(target)
    http_server.serve(BASE_PATH + "sub/probe.dat", NEW)
    base = paths.base_url("wine-http")
    if case == "nothing-listens":
        base = f"http://127.0.0.1:{unused_port()}/cv3down/"
    options = ["--no-window"] if case == "no-window" else []

    code, lines = run_probe(prefix, *options, base + "sub/probe.dat",
                            APP_DIR + "\\sub\\probe.dat", "sub/probe.dat")

    if case == "no-window":
        # Progress reports find no window and change nothing; the file arrives.
        assert (code, lines) == (0, ["1/1 ok"])
        assert target.read_bytes() == NEW
    else:
        assert (code, lines) == (1, ["1/1 failed", "status: " + PREPARING])
        assert snapshot(target) == before
    assert sorted(os.listdir(target.parent)) == ["probe.dat"]


# --- ranged transfers: a cut transfer continued, a file put together ----------------

PIECE = 16 << 20
RANGED = bytes((i * 7 + i // 251) % 256 for i in range(4096)) * (PIECE // 4096 + 80)


def serve_ranges(server, path, body, cut_after=None, tamper=None):
    """Answers Range requests (one range) with 206 and an ETag as nginx does;
    cut_after cuts every ranged answer not starting at byte 0 after that many
    bytes, tamper (offset) flips a byte of every such answer there."""
    route = server.routes.setdefault(path.encode(), Route(body=body))

    def answer(handler):
        route.body, route.status, route.cut_after = body, 200, None
        route.headers = {"ETag": '"v1"'}
        asked = re.fullmatch(r"bytes=(\d+)-(\d+)", handler.headers.get("Range", ""))
        if not asked:
            return
        first, last = int(asked[1]), min(int(asked[2]), len(body) - 1)
        part = bytearray(body[first:last + 1])
        if first and tamper is not None and first <= tamper <= last:
            part[tamper - first] ^= 0xFF
        route.body, route.status = bytes(part), 206
        route.headers["Content-Range"] = f"bytes {first}-{last}/{len(body)}"
        route.cut_after = cut_after if first else None

    route.on_request = answer


def probe_digested(prefix, target, body, *options):
    digest = hashlib.sha256(body).hexdigest()
    return run_probe(prefix, "--no-window", "--digests", *options,
                     paths.base_url("wine-http") + "big.dat", APP_DIR + "\\" + target, target,
                     digest)


def test_a_cut_transfer_continues_where_it_stopped(bench, prefix, http_server):
    """The first piece lands and is noted, the second is cut: the staged bytes
    and their journal entry stay, and the next call asks only for the rest."""
    serve_ranges(http_server, BASE_PATH + "big.dat", RANGED, cut_after=1000)
    assert probe_digested(prefix, "big.dat", RANGED)[0] == 1
    staged = prefix.app_dir / "big.dat.crv3part"
    assert staged.stat().st_size == PIECE
    journal = prefix.app_dir / "owned_files.txt"
    assert b"partial|kept|big.dat.crv3part|16777216|" in journal.read_bytes()
    # A pass that still wants this release keeps them; one that wants
    # another release of the file removes them.
    assert probe_digested(prefix, "big.dat", RANGED, "--settle")[0] == 0
    assert staged.stat().st_size == PIECE
    backup = (staged.read_bytes(), journal.read_bytes())
    assert probe_digested(prefix, "big.dat", b"other", "--settle")[0] == 0
    assert sorted(os.listdir(prefix.app_dir)) == []
    staged.write_bytes(backup[0])
    journal.write_bytes(backup[1])

    http_server.requests.clear()
    serve_ranges(http_server, BASE_PATH + "big.dat", RANGED)
    assert probe_digested(prefix, "big.dat", RANGED)[0] == 0

    assert [(r.headers.get("Range"), r.headers.get("If-Range")) for r in http_server.requests] == [
        (f"bytes={PIECE}-{len(RANGED) - 1}", '"v1"')]
    assert (prefix.app_dir / "big.dat").read_bytes() == RANGED
    assert sorted(os.listdir(prefix.app_dir)) == ["big.dat"]


@pytest.mark.parametrize("tampered", [False, True])
def test_a_plan_reuses_the_installed_copy(bench, prefix, http_server, tampered):
    """The new file is the installed one with 5000 bytes changed at 70000:
    only those are fetched. A fetched range with a wrong byte fails the
    digest, and the file is fetched whole in the same call."""
    new = RANGED[:200000]
    installed = new[:70000] + b"\0" * 5000 + new[75000:]
    prefix.app_dir.mkdir(parents=True, exist_ok=True)
    (prefix.app_dir / "big.dat").write_bytes(installed)
    serve_ranges(http_server, BASE_PATH + "big.dat", new, tamper=71000 if tampered else None)

    code, _ = probe_digested(prefix, "big.dat", new, "--plan", "h0+70000,f5000,h75000+125000")

    assert code == 0
    assert (prefix.app_dir / "big.dat").read_bytes() == new
    assert [r.headers.get("Range") for r in http_server.requests] == (
        ["bytes=70000-74999"] + (["bytes=0-16777215"] if tampered else []))
    assert sorted(os.listdir(prefix.app_dir)) == ["big.dat"]
