"""The launcher's run from the outside, under Wine: exit code, message boxes,
the program started, the desktop shortcut and the application directory, for
the offline path, the online path with nothing to download, the command line
and the directory check."""
import contextlib
import subprocess

import pytest

from bench.launcher import APP_DIR, EXECUTABLE

LIST_PATH = "/cv3down/filelist.txt"

NO_SERVER = ("오류", "서버에 연결할 수 없습니다.\n인터넷 연결을 확인하세요.", "error")
NOT_FOUND = ("알림", "실행 파일을 찾을 수 없습니다.\n다시 실행해주세요.", "information")
NO_DIRECTORY = ("오류", "설치 폴더를 생성할 수 없습니다.\n권한을 확인하세요.", "error")

# A release whose files are all installed and recorded: served as the list,
# the update pass finds nothing to do and the run goes on to the final step.
RELEASE = {"crv3v2.exe": b"fake_app", "data\\game.dat": b"level data"}


def boxes(result):
    return [box.brief() for box in result.boxes]


def assert_boxes_are_plain(result):
    """No owner, the OK button only, exactly one icon."""
    for box in result.boxes:
        assert box.owner == 0 and len(box.buttons) == 1, box
        assert box.flags in (0x10, 0x30, 0x40), box


def started(result):
    return [(entry["module"], entry["arguments"], entry["directory"]) for entry in result.started]


def assert_shortcut(result, icon=EXECUTABLE):
    shortcut = result.shortcut
    assert shortcut["exists"] and shortcut["readable"], shortcut
    assert (shortcut["target"], shortcut["working_directory"], shortcut["icon"],
            shortcut["icon_index"]) == (EXECUTABLE, APP_DIR, icon, 0)
    assert shortcut["arguments"] == "" and shortcut["description"] == ""


def assert_shortcut_calls(result):
    """One apartment for the shortcut: CoInitializeEx(NULL, apartment
    threaded), the in-process shell link, the current desktop folder, and one
    CoUninitialize after the success."""
    calls = [(c.name, [a.value for a in c.args]) for c in result.calls_named(
        "CoInitializeEx", "CoInitialize", "CoCreateInstance", "SHGetFolderPathW",
        "CoUninitialize")]
    assert [name for name, _ in calls] == [
        "CoInitializeEx", "CoCreateInstance", "SHGetFolderPathW", "CoUninitialize"]
    assert calls[0][1] == [0, 2]
    assert calls[1][1][1:3] == [0, 1]
    assert calls[2][1][:4] == [0, 0x10, 0, 0]


def assert_in_order(result, *names):
    """The first calls of these names came in this order from the launcher."""
    seen = [call.name for call in result.calls]
    firsts = [seen.index(name) for name in names]
    assert firsts == sorted(firsts), list(zip(names, firsts))


def assert_start_call(result, file, parameters):
    """ShellExecuteW(no owner, "open", file, parameters, C:\\corvane3, SW_SHOW)."""
    (call,) = result.calls_named("ShellExecuteW")
    assert (call.args[0].value, call.args[5].value) == (0, 5)
    assert [a.text for a in call.args[1:5]] == ["open", file, parameters, APP_DIR]


@pytest.fixture
def online(bench, http_server):
    """The server lists the installed release: nothing to download."""
    http_server.serve(LIST_PATH, bench.install_release(RELEASE))
    return http_server


# --- offline path ---------------------------------------------------------

def test_offline_without_executable_reports_no_server(bench, prefix):
    result = bench.run()

    assert result.exit_code == 1
    assert boxes(result) == [NO_SERVER]
    assert_boxes_are_plain(result)
    assert result.started == [] and not result.shortcut["exists"]
    assert prefix.app_dir.is_dir() and prefix.app_files() == {}
    # The entry point comes first; the cached list is dropped before the list
    # is opened, for the same URL, with no caller, and again after the failed
    # fetch; the callback only learns the HTTP status.
    assert result.calls[0].name == "InitCommonControls"
    (open_call,) = result.calls_named("URLOpenBlockingStreamW")
    names = [call.name for call in result.calls
             if call.name in ("DeleteUrlCacheEntryW", "URLOpenBlockingStreamW")]
    assert names == ["DeleteUrlCacheEntryW", "URLOpenBlockingStreamW", "DeleteUrlCacheEntryW"]
    for delete in result.calls_named("DeleteUrlCacheEntryW"):
        assert delete.args[0].text == open_call.args[1].text
    assert open_call.args[1].text.endswith(LIST_PATH)
    assert [open_call.args[i].value for i in (0, 3)] == [0, 0]


@pytest.mark.parametrize("args, parameters", [
    (None, ""),
    ("/updated", "/updated"),
    # The override is not consulted offline.
    ('"C:\\corvane3\\other.exe" /updated -v', "/updated"),
], ids=["no-parameters", "updated", "override-ignored"])
def test_offline_starts_installed_executable_without_shortcut(bench, prefix, args, parameters):
    bench.install_fake_app()
    bench.install_fake_app(APP_DIR + "\\other.exe")
    before = prefix.app_files()

    result = bench.run(args)

    assert (result.exit_code, boxes(result)) == (0, [])
    assert started(result) == [(EXECUTABLE, parameters, APP_DIR)]
    assert_start_call(result, EXECUTABLE, parameters)
    assert not result.shortcut["exists"]
    assert prefix.app_files() == before


@pytest.mark.parametrize("answer", [
    None,                                               # nothing listens: refused
    {"body": b""},                                      # an empty list
    {"body": b"data|1\r\n" * 100, "reset_after": 0},    # reset before the body
], ids=["refused", "empty-list", "reset"])
def test_no_list_takes_offline_path_and_writes_nothing(bench, prefix, request, answer):
    if answer is not None:
        request.getfixturevalue("http_server").serve(LIST_PATH, **answer)

    result = bench.run("/updated")

    assert (result.exit_code, boxes(result), result.started) == (1, [NO_SERVER], [])
    assert prefix.app_files() == {} and list(prefix.desktop.iterdir()) == []


# A server error page or a list cut short is no version list, although
# Wine's URLOpenBlockingStreamW opens both with S_OK.
@pytest.mark.parametrize("answer", [
    {"status": 404},
    {"status": 500},
    {"cut_after": 14},
], ids=["404", "500", "cut-short"])
def test_server_error_takes_offline_path(bench, prefix, http_server, answer):
    http_server.serve(LIST_PATH, b"crv3v2.exe|1\r\ndata.dat|2\r\n", **answer)

    result = bench.run()

    assert (result.exit_code, boxes(result)) == (1, [NO_SERVER])
    assert prefix.app_files() == {}


# --- online path ------------------------------------------------------------

@pytest.mark.parametrize("args, parameters", [
    (None, ""),
    ("/updated", "/updated"),
    # Blanks, tabs and quotes around nothing leave both options empty.
    (' \t"" \t', ""),
], ids=["no-parameters", "updated", "blanks-and-quotes"])
def test_online_writes_shortcut_then_starts(bench, prefix, online, args, parameters):
    # A shortcut of that name pointing elsewhere is replaced.
    (prefix.desktop / "Corvane3실행.lnk").write_bytes(b"not a shortcut")
    before = prefix.app_files()

    result = bench.run(args)

    assert (result.exit_code, boxes(result)) == (0, [])
    assert started(result) == [(EXECUTABLE, parameters, APP_DIR)]
    assert_shortcut(result)
    assert_shortcut_calls(result)
    assert_start_call(result, EXECUTABLE, parameters)
    assert_in_order(result, "SHGetFolderPathW", "ShellExecuteW")
    assert [r.raw_path for r in online.requests] == [LIST_PATH]
    assert prefix.app_files() == before


def test_list_is_fetched_from_the_server_every_run(bench, online):
    # Headers that would let a cache answer, or revalidate, the second request.
    online.routes[LIST_PATH.encode()].headers = {
        "Cache-Control": "max-age=3600", "Last-Modified": "Mon, 07 Dec 2026 00:00:00 GMT",
        "ETag": '"list-1"'}

    for _ in range(2):
        assert bench.run().exit_code == 0

    fetches = online.requests_for(LIST_PATH)
    assert len(fetches) == 2
    assert not {"If-Modified-Since", "If-None-Match"} & set(fetches[1].headers)


def test_list_bytes_arrive_unchanged(bench, prefix, http_server):
    # Three 1024-byte reads and a short one; CR LF line ends; a zero byte and
    # padding after each version. With no local record, every listed file is
    # fetched and the list text is stored as it came.
    files = {"data/one.dat": b"one", "data/two.dat": b"two", "readme.txt": b"three"}
    listing = b"".join(name.encode() + b"|1\x00" + b"~" * 1100 + b"\r\n" for name in files)
    assert 3 * 1024 < len(listing) < 4 * 1024
    http_server.serve(LIST_PATH, listing)
    for name, content in files.items():
        http_server.serve("/cv3down/" + name, content)

    result = bench.run()

    assert (prefix.app_dir / "local_list.txt").read_bytes() == listing
    installed = prefix.app_files()
    assert {name: installed.get(name) for name in files} == files
    assert result.exit_code == 1 and boxes(result)[-1] == NOT_FOUND


def test_override_is_started_and_gives_the_shortcut_its_icon(bench, online):
    other = APP_DIR + "\\other app.exe"
    bench.install_fake_app(other)

    result = bench.run(f'"{other}" /updated -v')

    assert (result.exit_code, boxes(result)) == (0, [])
    assert started(result) == [(other, "/updated", APP_DIR)]
    assert_start_call(result, other, "/updated")
    assert_shortcut(result, icon=other)


@pytest.mark.parametrize("args", [
    "/UPDATED",                      # not the switch: the whole text is the override
    "x/updatedy",                    # the switch needs no separator; "x" names nothing
])
def test_override_naming_nothing_writes_shortcut_then_reports(bench, online, args):
    result = bench.run(args)

    assert (result.exit_code, boxes(result), result.started) == (1, [NOT_FOUND], [])
    assert_boxes_are_plain(result)
    assert_shortcut(result)
    assert_in_order(result, "SHGetFolderPathW", "MessageBoxW")
    assert result.calls_named("ShellExecuteW") == []


def test_missing_executable_at_the_end(bench, prefix, http_server):
    http_server.serve(LIST_PATH, bench.install_release({"data\\game.dat": b"level data"}))

    result = bench.run("/updated")

    assert (result.exit_code, boxes(result), result.started) == (1, [NOT_FOUND], [])
    assert_shortcut(result)
    assert not (prefix.app_dir / "crv3v2.exe").exists()


# Refused certificates are fault cases: test_faults.py.
def test_https_with_trusted_authority(bench, https_server_factory):
    server = https_server_factory("trusted")
    server.serve(LIST_PATH, bench.install_release(RELEASE))

    result = bench.run("/updated", preset="wine-https")

    assert (result.exit_code, boxes(result)) == (0, [])
    assert started(result) == [(EXECUTABLE, "/updated", APP_DIR)]
    assert_shortcut(result)
    assert [r.raw_path for r in server.requests] == [LIST_PATH]


# --- the application directory -----------------------------------------------

def test_directory_blocked_by_plain_file_passes_the_check(bench, prefix, http_server):
    prefix.app_dir.write_bytes(b"in the way")
    http_server.serve(LIST_PATH, b"data\\game.dat|1\r\n")

    result = bench.run()

    assert [c.args[0].text for c in result.calls_named("CreateDirectoryW")
            if c.args[0].text == APP_DIR] == []
    # The run went on past the check: the list was fetched, the shortcut
    # written, and the run ends on the missing executable.
    assert [r.raw_path for r in http_server.requests][0] == LIST_PATH
    assert result.exit_code == 1 and boxes(result)[-1] == NOT_FOUND
    assert_shortcut(result)
    assert prefix.app_dir.read_bytes() == b"in the way"


@contextlib.contextmanager
def _immutable(folder):
    """Makes a folder refuse new entries, even to root (ext2/3/4 attribute)."""
    made = subprocess.run(["chattr", "+i", str(folder)], capture_output=True)
    if made.returncode != 0:
        pytest.skip(f"chattr +i is not available here: {made.stderr.decode().strip()}")
    try:
        yield
    finally:
        subprocess.run(["chattr", "-i", str(folder)], check=True)


def test_directory_that_cannot_be_created(bench, prefix, http_server):
    http_server.serve(LIST_PATH, b"crv3v2.exe|1\r\n")
    with _immutable(prefix.drive_c):
        result = bench.run("/updated")

    assert (result.exit_code, boxes(result), result.started) == (1, [NO_DIRECTORY], [])
    assert_boxes_are_plain(result)
    assert http_server.requests == [] and not result.shortcut["exists"]
    assert not prefix.app_dir.exists()


# --- command lines of any length and content ----------------------------------

@pytest.mark.parametrize("args", [
    "x" * 32000,
    ("가\t\"'%\\" * 3000) + "\ud800" + " /updated " + "-v" * 100,
    '"' * 5000,
], ids=["32000-letters", "hangul-quotes-lone-surrogate", "only-quotes"])
def test_long_command_lines(bench, online, args):
    result = bench.run(args)

    assert not result.timed_out
    if args.strip('"') == "":
        assert (result.exit_code, boxes(result)) == (0, [])
        assert started(result) == [(EXECUTABLE, "", APP_DIR)]
    else:
        assert (result.exit_code, boxes(result), result.started) == (1, [NOT_FOUND], [])
        assert_shortcut(result)
