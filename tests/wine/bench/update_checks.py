"""Helpers of the update scenarios: publishing a release on the update
server, and reading what a run showed (boxes, progress window texts) and
what it left on disk."""
import os
import urllib.parse

LIST_PATH = "/cv3down/filelist.txt"
BASE_PATH = "/cv3down/"

# Control identifiers of the progress window's labels.
FILE_LIST_ID = 1001
OVERALL_ID = 1002

DONE = ("알림", "업데이트가 완료되었습니다. 프로그램을 재시작합니다", "information")
CANCELLED = ("알림", "업데이트를 취소했습니다.", "information")


def failure_box(local_names):
    """The warning box for these stored names, in download order."""
    text = "다음 파일 다운로드에 실패했습니다:\n\n" + "".join(n + "\n" for n in local_names[:10])
    if len(local_names) > 10:
        text += f"... 외 {len(local_names) - 10}개"
    return ("경고", text, "warning")


def file_list_text(names):
    """What the progress window's file list shows for the download list."""
    text = "\r\n".join(names[:3])
    if len(names) > 3:
        text += f"\r\n... 외 {len(names) - 3}개"
    return text


def overall_text(current, total):
    return f"전체 진행: {current} / {total}"


def list_text(entries, line_end=b"\r\n"):
    """A version list from (name, version) pairs; str names are CP949."""
    return b"".join((n.encode("cp949") if isinstance(n, str) else n) + b"|" + str(v).encode()
                    + line_end for n, v in entries)


def url_path(name):
    """The request path the launcher asks for a listed name: UTF-8,
    percent-encoded except for letters, digits and "-_.~/:"."""
    return BASE_PATH + urllib.parse.quote(name.encode("utf-8"), safe="-_.~/:")


def publish(server, files, versions=None, line_end=b"\r\n", **route):
    """Serves each file (name: bytes) under its name and a list of them all
    (version 1 unless `versions` says otherwise); returns the list text."""
    versions = versions or {}
    for name, body in files.items():
        server.serve(BASE_PATH + name, body, **route)
    text = list_text([(n, versions.get(n, 1)) for n in files], line_end)
    server.serve(LIST_PATH, text)
    return text


def byte_order(names):
    """The order in which the launcher fetches names: CP949 bytes ascending."""
    return sorted(names, key=lambda n: n.encode("cp949"))


def file_requests(server):
    """The names (decoded UTF-8 paths below the base) the launcher asked
    for, the list excepted."""
    base = BASE_PATH.encode()
    return [(r.path[len(base):].decode("utf-8", "replace") if r.method == "GET" else
             (r.method, r.path[len(base):].decode("utf-8", "replace"))) for r in server.requests
            if r.path != LIST_PATH.encode() and r.path.startswith(base)]


def boxes(result):
    return [box.brief() for box in result.boxes]


def started(result):
    return [(e["module"], e["arguments"], e["directory"]) for e in result.started]


def texts_set(result):
    """Every text the launcher gave a window, in order, from the relay trace:
    exact, where samples of a running window may miss a short-lived text."""
    return [call.args[1].text for call in result.calls_named("SetWindowTextW")]


def label_texts(result, control_id):
    """The texts a progress window label showed, in order, repeats merged."""
    texts = []
    for sample in result.progress:
        for control in sample["controls"]:
            text = control["text"]
            # A label is empty from the window's creation until it is set.
            if control["id"] == control_id and text and (not texts or texts[-1] != text):
                texts.append(text)
    return texts


def window_gone_before_boxes(result):
    kinds = [e["event"] for e in result.events]
    if "message_box" not in kinds or "progress" not in kinds:
        return True
    last_sample = len(kinds) - 1 - kinds[::-1].index("progress")
    return last_sample < kinds.index("message_box")


def app_files(prefix):
    """Every file under C:\\corvane3 as {"a/b": bytes}, "/" separated."""
    return {k.replace(os.sep, "/"): v for k, v in prefix.app_files().items()}


def drive_c_files(prefix, skip=("corvane3", "users", "windows")):
    """Every file of drive C: outside the folders a run may touch anyway
    (the application directory, the profile with its internet cache, the
    system folder), as relative paths."""
    found = set()
    for folder, dirs, names in os.walk(prefix.drive_c):
        if folder == str(prefix.drive_c):
            dirs[:] = [d for d in dirs if d.lower() not in skip]
        found.update(os.path.relpath(os.path.join(folder, n), prefix.drive_c) for n in names)
    return found


def files_named_like(root, marker):
    """Every file or folder under root whose name holds marker."""
    return sorted(os.path.join(folder, n) for folder, dirs, names in os.walk(root)
                  for n in dirs + names if marker in n)
