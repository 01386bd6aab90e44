"""The demo: a small sample release on a loopback update server, the launcher
run under Wine in a demo prefix, and what happened told in plain words.
Wine draws on a virtual X display, and the demo keeps pictures of what the
runs showed. Run by tools/demo (`python3 -m bench.demo` from tests/wine)."""
import re
import shutil
import sys
import textwrap
import urllib.parse

from . import paths, screen
from .launcher import APP_DIR, SHORTCUT_NAME, Runner
from .prefix import WinePrefix
from .server import UpdateServer

PRESET = "demo"
RATE = 256 * 1024  # bytes per second: slow enough to watch the progress window
PICTURES = paths.BUILD / "demo-pictures"
STATUS = re.compile(r"다운로드 중: (.*) \((-?\d+)%\)")

ICON_WORDS = {"error": "error icon", "warning": "warning icon",
              "information": "information icon", None: "icon unknown"}


class Release:
    """A release as the vendor keeps it: a plain folder, published with
    crv3publish (the Windows build of `preset`, under Wine) into the folder
    the update server serves, each publication compared with the one
    before. Without a folder, the demo's sample release, published afresh."""

    def __init__(self, runner, folder=None, preset=PRESET, key=None):
        self.prefix, self.preset, self.key = runner.prefix, preset, key
        work = paths.BUILD / f"{preset}-publish"
        self.served = work / "served"
        self.folder = folder
        if folder:
            return
        shutil.rmtree(work, ignore_errors=True)
        self.folder = work / "release"
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

    def publish(self, server, faults=None):
        """faults: name -> the server's options for a file that fails."""
        self.publish_folder()
        server.clear()
        for name, body in self.served_files():
            options = {} if name == "filelist.txt" else {"rate": RATE}
            options.update((faults or {}).get(name, {}))
            server.serve("/cv3down/" + name, body, **options)

    def publish_folder(self):
        command = [paths.publisher(self.preset), paths.windows_path(self.folder),
                   "--out", paths.windows_path(self.served)]
        if self.served.exists():
            command += ["--previous", paths.windows_path(self.served)]
        if self.key:
            command += ["--key", paths.windows_path(self.key)]
        result = self.prefix.wine(*command, capture_output=True)
        say("crv3publish " + " ".join(str(c) for c in command[1:]))
        say(result.stdout.decode("utf-8") + result.stderr.decode("utf-8"), 3)
        if result.returncode != 0:
            raise SystemExit(f"crv3publish failed with exit code {result.returncode}")

    def served_files(self):
        """(name, bytes) of every file in the served folder."""
        for path in sorted(self.served.rglob("*")):
            if path.is_file():
                yield path.relative_to(self.served).as_posix(), path.read_bytes()

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
            match = STATUS.fullmatch(text)
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


def status_percent(event):
    """The percentage the progress window's status line shows, or None."""
    for control in event["controls"]:
        match = STATUS.fullmatch(control["text"])
        if match:
            return int(match.group(2))
    return None


def progress_pictures(result):
    """The first and the last picture of the progress window that show a
    file well under way (20% to 80%)."""
    partway = [e for e in result.progress
               if e.get("capture") and 20 <= (status_percent(e) or 0) <= 80]
    return {"progress-early": partway[0], "progress-late": partway[-1]} if partway else {}


def box_picture(name, caption):
    """The last message box of a run with this caption."""
    def choose(result):
        boxes = [box for box in result.boxes if box.caption == caption]
        return {name: boxes[-1].window} if boxes else {}
    return choose


def hangul_problem(event):
    """Why a picture does not show its Hangul as Hangul, or None: every
    control's Hangul line must be found in the picture, and the font must
    draw each syllable in it unlike the others and unlike a missing glyph."""
    check = event.get("hangul")
    if not check:
        return "no picture was taken"
    problems = []
    missing = [s["text"] for s in check["samples"] if not s["found"]]
    if not check["samples"] or missing:
        problems.append(f"text not found in the picture: {missing or 'none with Hangul'}")
    if check["distinct_looks"] != check["syllables"]:
        problems.append(f"only {check['distinct_looks']} of {check['syllables']} Hangul "
                        "syllables are drawn as glyphs of their own (empty boxes: no Korean font?)")
    return "; ".join(problems) or None


class Pictures:
    """PNG files of what the runs showed, each checked for drawn Hangul."""

    def __init__(self, folder):
        self.folder = folder
        shutil.rmtree(folder, ignore_errors=True)
        self.captures = folder / "captures"
        self.captures.mkdir(parents=True)
        self.problems = []

    def keep(self, chosen):
        for name, event in chosen.items():
            problem = hangul_problem(event)
            png = self.folder / f"{name}.png"
            if event.get("capture"):
                screen.bmp_to_png(self.captures / event["capture"], png)
            say(f"picture {png.name}: " + (problem or "Hangul drawn"), 3)
            if problem:
                self.problems.append(f"{png.name}: {problem}")

    def finish(self, expected):
        shutil.rmtree(self.captures)
        missing = [name for name in expected if not (self.folder / f"{name}.png").exists()]
        self.problems += [f"{name}.png: not taken" for name in missing]
        say(f"Pictures of the windows and boxes: {self.folder}")
        for problem in self.problems:
            say(f"PICTURE CHECK FAILED: {problem}", 3)
        return not self.problems


class Scenes:
    def __init__(self, runner, prefix, pictures, preset=PRESET):
        self.runner, self.prefix, self.pictures = runner, prefix, pictures
        self.preset = preset
        self.number = 0

    def show(self, title, server=None, args=None, pictures=None):
        """pictures: picks the named pictures to keep from the run's result."""
        self.number += 1
        say(f"== {self.number}. {title}")
        say(f"command line: {args if args is not None else '(empty)'}", 3)
        lnk = self.prefix.desktop / SHORTCUT_NAME
        lnk_before = lnk.stat().st_mtime_ns if lnk.exists() else None
        files_before = self.prefix.app_files()
        result = self.runner.run(args, preset=self.preset,
                                 capture_dir=self.pictures.captures if self.pictures else None)
        lnk_after = lnk.stat().st_mtime_ns if lnk.exists() else None
        # The same properties give the same bytes: only the file's time tells
        # whether this run wrote it again.
        unchanged = lnk_before is not None and lnk_before == lnk_after
        describe(result, server, result.shortcut if unchanged else None, files_before,
                 self.prefix.app_files())
        chosen = pictures(result) if pictures else {}
        if chosen:
            self.pictures.keep(chosen)
            say()


EXPECTED_PICTURES = ["offline-error", "progress-early", "progress-late", "installed",
                     "two-files-failed", "program-not-found"]


def main():
    with paths.session_lock(), screen.virtual_display() as display:
        pictures = Pictures(PICTURES)
        show_demo(display, pictures)
        if not pictures.finish(EXPECTED_PICTURES):
            sys.exit(1)


def show_demo(display, pictures):
    prefix = WinePrefix(paths.DEMO_PREFIX, preset=PRESET)
    prefix.prepare()
    prefix.display = display
    prefix.import_registry(screen.x11_registry())
    prefix.start()
    try:
        prefix.reset()
        runner = Runner(prefix)
        release = Release(runner)
        port = urllib.parse.urlsplit(paths.base_url(PRESET)).port
        say(f"Demo update server: {paths.base_url(PRESET)} (Wine prefix {prefix.path})")
        say()
        scenes = Scenes(runner, prefix, pictures)
        scenes.show("The update server is down and nothing is installed",
                    pictures=box_picture("offline-error", "오류"))
        with UpdateServer(port) as server:
            release.publish(server)
            scenes.show("The server publishes release 1: the first run installs it", server,
                        pictures=lambda result: {**progress_pictures(result),
                                                 **box_picture("installed", "알림")(result)})
            scenes.show("Run again: nothing new on the server", server, "/updated")
            release.update("readme.txt", "Corvane3 sample release 2\r\n".encode("cp949"))
            release.update("data/maps.dat", bytes(range(255, -1, -1)) * 512)
            release.update("config.ini", b"[graphics]\r\nquality=high\r\n")
            release.update("도움말/안내.txt", "안내 2판\r\n".encode("cp949"))
            release.publish(server)
            scenes.show("The server publishes newer files", server, "/updated")
            scenes.show("A program to start that does not exist", server,
                        '"C:\\corvane3\\missing.exe" /updated',
                        pictures=box_picture("program-not-found", "알림"))
            release.update("readme.txt", "Corvane3 sample release 3\r\n".encode("cp949"))
            release.update("data/maps.dat", bytes(range(256)) * 256)
            release.update("config.ini", b"[graphics]\r\nquality=medium\r\n")
            release.publish(server, faults={"readme.txt": {"status": 404},
                                            "data/maps.dat": {"status": 500}})
            scenes.show("Two of three newer files fail (404, 500)", server,
                        "/updated", pictures=box_picture("two-files-failed", "경고"))
        scenes.show("The server is down again: the installed program starts as it is",
                    None, "/updated")
    finally:
        prefix.stop()


if __name__ == "__main__":
    main()
