"""The demo: a small sample release on a loopback update server, the launcher
run under Wine in a demo prefix, and what happened told in plain words.
Run by tools/demo (`python3 -m bench.demo` from tests/wine)."""
import re
import shutil
import textwrap
import urllib.parse

from . import paths
from .launcher import APP_DIR, SHORTCUT_NAME, Runner
from .prefix import WinePrefix
from .server import UpdateServer

PRESET = "demo"
RATE = 256 * 1024  # bytes per second: slow enough to watch the progress window

ICON_WORDS = {"error": "error icon", "warning": "warning icon",
              "information": "information icon", None: "icon unknown"}


class Release:
    """The sample release as the vendor keeps it: a plain folder, published
    with crv3publish (the Windows build, under Wine) into the folder the
    update server serves."""

    def __init__(self, runner):
        self.prefix = runner.prefix
        work = paths.BUILD / "demo-publish"
        shutil.rmtree(work, ignore_errors=True)
        self.folder, self.served = work / "release", work / "served"
        self.write({
            "crv3v2.exe": runner.fake_app.read_bytes(),
            "data/maps.dat": bytes(range(256)) * 512,
            "readme.txt": "Corvane3 sample release 1\r\n".encode("cp949"),
            # Served as config.i.zip, stored by the launcher as config.ini.
            "config.ini": b"[graphics]\r\nquality=low\r\n",
            "도움말/안내.txt": "안내 1판\r\n".encode("cp949"),
        })

    def write(self, files):
        for name, content in files.items():
            (self.folder / name).parent.mkdir(parents=True, exist_ok=True)
            (self.folder / name).write_bytes(content)

    def publish(self, server):
        command = [paths.BUILD / PRESET / "crv3publish.exe", paths.windows_path(self.folder),
                   "--out", paths.windows_path(self.served)]
        if self.served.exists():
            command += ["--previous", paths.windows_path(self.served)]
        result = self.prefix.wine(*command, capture_output=True, check=True)
        say("crv3publish " + " ".join(str(c) for c in command[1:]))
        say(result.stdout.decode("utf-8") + result.stderr.decode("utf-8"), 3)
        server.clear()
        for path in sorted(self.served.rglob("*")):
            if path.is_file():
                name = path.relative_to(self.served).as_posix()
                server.serve("/cv3down/" + name, path.read_bytes(),
                             rate=None if name == "filelist.txt" else RATE)

    def update(self, name, content):
        self.write({name: content})


def say(text="", indent=0):
    print(textwrap.indent(text, " " * indent) if text else "")


def describe_progress(samples):
    """The window's title and fixed texts once, then each file's status with
    the first and last percentage seen."""
    if not samples:
        return
    say(f'progress window "{samples[0]["title"]}":', 3)
    shown, statuses = set(), {}
    for sample in samples:
        for control in sample["controls"]:
            text = control["text"].replace("\r\n", ", ")
            match = re.fullmatch(r"다운로드 중: (.*) \((-?\d+)%\)", text)
            if match:
                statuses.setdefault(match.group(1), []).append(match.group(2))
            elif text and text not in shown:
                shown.add(text)
                say(text, 6)
    for name, percents in statuses.items():
        say(f"다운로드 중: {name} ({percents[0]}% ... {percents[-1]}%, "
            f"{len(percents)} samples)", 6)


def describe_files(before, after):
    say(f"{APP_DIR}:" + ("" if after else " empty"), 3)
    for name, content in after.items():
        change = ("new" if name not in before else
                  "changed" if before[name] != content else "unchanged")
        say(f"{name} ({len(content)} bytes, {change})", 6)


def describe(result, server, shortcut_before, files_before, files_after):
    if server is not None:
        for request in server.requests:
            say(f"server: {request.method} {urllib.parse.unquote(request.raw_path)} "
                f"-> {request.status}", 3)
        server.requests.clear()
    describe_progress(result.progress)
    for box in result.boxes:
        say(f'message box "{box.caption}" ({ICON_WORDS[box.icon]}, button OK):', 3)
        say(box.text, 6)
    if not result.boxes:
        say("no message box", 3)
    exit_codes = {child["pid"]: child["code"] for child in result.children}
    for entry in result.started:
        arguments = entry["arguments"] or "no parameters"
        say(f'program started: {entry["module"]} with {arguments}, '
            f'working folder {entry["directory"]}, exit code {exit_codes.get(entry["pid"])}', 3)
    if not result.started:
        say("no program started", 3)
    shortcut = result.shortcut
    if shortcut and shortcut.get("readable"):
        written = "unchanged" if shortcut_before == shortcut else "written by this run"
        say(f'desktop shortcut {shortcut["path"]} ({written}):', 3)
        say(f'target {shortcut["target"]}, working folder {shortcut["working_directory"]}, '
            f'icon {shortcut["icon"]},{shortcut["icon_index"]}', 6)
    else:
        say("no desktop shortcut", 3)
    describe_files(files_before, files_after)
    say(f"launcher exit code: {result.exit_code}", 3)
    say()


class Scenes:
    def __init__(self, runner, prefix):
        self.runner, self.prefix = runner, prefix
        self.number = 0

    def show(self, title, server=None, args=None):
        self.number += 1
        say(f"== {self.number}. {title}")
        say(f"command line: {args if args is not None else '(empty)'}", 3)
        lnk = self.prefix.desktop / SHORTCUT_NAME
        lnk_before = lnk.stat().st_mtime_ns if lnk.exists() else None
        files_before = self.prefix.app_files()
        result = self.runner.run(args, preset=PRESET)
        lnk_after = lnk.stat().st_mtime_ns if lnk.exists() else None
        # The same properties give the same bytes: only the file's time tells
        # whether this run wrote it again.
        unchanged = lnk_before is not None and lnk_before == lnk_after
        describe(result, server, result.shortcut if unchanged else None, files_before,
                 self.prefix.app_files())


def main():
    with paths.session_lock():
        show_demo()


def show_demo():
    prefix = WinePrefix(paths.DEMO_PREFIX, preset=PRESET)
    prefix.prepare()
    prefix.start()
    try:
        prefix.reset()
        runner = Runner(prefix)
        release = Release(runner)
        port = urllib.parse.urlsplit(paths.base_url(PRESET)).port
        say(f"Demo update server: {paths.base_url(PRESET)} (Wine prefix {prefix.path})")
        say()
        scenes = Scenes(runner, prefix)
        scenes.show("The update server is down and nothing is installed")
        with UpdateServer(port) as server:
            release.publish(server)
            scenes.show("The server publishes release 1: the first run installs it", server)
            scenes.show("Run again: nothing new on the server", server, "/updated")
            release.update("readme.txt", "Corvane3 sample release 2\r\n".encode("cp949"))
            release.update("data/maps.dat", bytes(range(255, -1, -1)) * 512)
            release.update("config.ini", b"[graphics]\r\nquality=high\r\n")
            release.update("도움말/안내.txt", "안내 2판\r\n".encode("cp949"))
            release.publish(server)
            scenes.show("The server publishes newer files", server, "/updated")
            scenes.show("A program to start that does not exist", server,
                        '"C:\\corvane3\\missing.exe" /updated')
        scenes.show("The server is down again: the installed program starts as it is",
                    None, "/updated")
    finally:
        prefix.stop()


if __name__ == "__main__":
    main()
