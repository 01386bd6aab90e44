"""Runs the launcher under Wine through bench_driver.exe and turns what the
driver, the fake application and Wine's relay trace report into one result."""
import atexit
import contextlib
import dataclasses
import json
import re
import shutil
import signal
import struct
import subprocess
import sys
import pathlib
import tempfile
import time

from . import paths

SHORTCUT_NAME = "Corvane3실행.lnk"
APP_DIR = "C:\\corvane3"
EXECUTABLE = APP_DIR + "\\crv3v2.exe"

# The calls a file trace keeps: flushes and renames.
FILE_TRACE_CALLS = "fsync,fdatasync,rename,renameat,renameat2"

ICONS = {0x10: "error", 0x20: "question", 0x30: "warning", 0x40: "information"}


@dataclasses.dataclass
class RelayArg:
    # The low 32 bits of the number Wine printed (a pointer for strings). An
    # x86-64 trace prints whole registers, whose upper half the calling
    # convention leaves unspecified for an int; the calls the bench reads
    # take ints, handles (which Windows keeps to 32 bits) and pointers it
    # only tells from NULL.
    value: int | None
    text: str | None = None    # the UTF-16 string Wine printed beside it
    truncated: bool = False


@dataclasses.dataclass
class RelayCall:
    pid: int
    function: str              # "dll.Name" as the trace names it
    args: list
    ret: int                   # return address: tells who made the call

    @property
    def name(self):
        return self.function.split(".", 1)[1]


@dataclasses.dataclass
class MessageBox:
    caption: str
    text: str
    buttons: list
    owner: int                 # from the window; 0 for none
    flags: int | None = None   # MessageBoxW's type argument, from the relay trace
    window: dict = None

    @property
    def icon(self):
        return None if self.flags is None else ICONS.get(self.flags & 0xF0)

    def brief(self):
        """(caption, text, icon): what a user sees."""
        return self.caption, self.text, self.icon


@dataclasses.dataclass
class RunResult:
    command_line: str
    exit_code: int | None
    timed_out: bool
    killed: bool               # cut short on request (kill_on_text, kill_after_ms)
    screen: list               # [width, height] of the prefix's screen
    boxes: list
    progress: list             # samples of the DownloadProgressClass window
    windows: list              # any other top-level window of the launcher
    shortcut: dict
    children: list             # programs the launcher started ("child" events)
    started: list              # what each fake application run logged
    calls: list                # relay calls made by the launcher's own code
    events: list
    trace: str

    def calls_named(self, *names):
        return [c for c in self.calls if c.name in names]


# --- relay trace ------------------------------------------------------------

_CALL = re.compile(r"^([0-9a-f]+):[0-9a-f]+:Call ([\w.]+)\((.*)\) ret=([0-9a-f]+)$")
_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}


def _parse_args(text):
    """Splits Wine's relay argument list: hex numbers, each optionally followed
    by L"..." (its debugstr_w form: \\n \\r \\t \\" \\\\ and \\XXXX escapes)."""
    args, i = [], 0
    while i < len(text):
        number = re.match(r"[0-9a-f]+", text[i:])
        value = int(number.group(0), 16) & 0xFFFFFFFF if number else None
        i += number.end() if number else 0
        arg = RelayArg(value)
        if text.startswith(' L"', i):
            i += 3
            chars = []
            while i < len(text) and text[i] != '"':
                if text[i] == "\\":
                    if text[i + 1] in _ESCAPES:
                        chars.append(_ESCAPES[text[i + 1]])
                        i += 2
                    else:
                        chars.append(chr(int(text[i + 1:i + 5], 16)))
                        i += 5
                else:
                    chars.append(text[i])
                    i += 1
            i += 1
            arg.text = "".join(chars)
            if text.startswith("...", i):
                arg.truncated = True
                i += 3
        args.append(arg)
        while i < len(text) and text[i] != ",":
            i += 1
        i += 1
    return args


def parse_relay(trace):
    calls = []
    for line in trace.splitlines():
        match = _CALL.match(line)
        if match:
            pid, function, args, ret = match.groups()
            calls.append(RelayCall(int(pid, 16), function, _parse_args(args), int(ret, 16)))
    return calls


def image_range(exe):
    """[start, end) of an executable's image at its preferred base, where Wine
    maps it: return addresses inside it are calls made by its own code."""
    data = exe.read_bytes()[:4096]
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    # PE32 keeps a 32-bit image base after BaseOfData; PE32+ a 64-bit one.
    assert magic in (0x10B, 0x20B), "PE32 or PE32+ expected"
    base = (struct.unpack_from("<I", data, optional + 28)[0] if magic == 0x10B
            else struct.unpack_from("<Q", data, optional + 24)[0])
    size = struct.unpack_from("<I", data, optional + 56)[0]
    return base, base + size


# --- running ----------------------------------------------------------------

def _hex(text):
    """UTF-16 units as hex digits: passes any text through wine's argv intact."""
    return text.encode("utf-16-be", "surrogatepass").hex()


class RunningApp:
    """A copy of the fake application that keeps running while its hold file
    exists; its log line shows it is up."""

    def __init__(self, runner, path, timeout):
        self.hold_file = runner.scratch / "running_app.hold"
        self.hold_file.write_text("hold")
        self.log = runner.scratch / "running_app.log"
        self.log.unlink(missing_ok=True)
        env = runner.prefix.env
        env.update(FAKE_APP_LOG=paths.windows_path(self.log),
                   FAKE_APP_HOLD=paths.windows_path(self.hold_file))
        self.process = subprocess.Popen([paths.WINE_LOADER, path], env=env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + timeout
        while not (self.log.exists() and self.log.read_text()):
            assert time.monotonic() < deadline, f"{path} did not start"
            time.sleep(0.05)
        self.pid = json.loads(self.log.read_text().splitlines()[0])["pid"]

    def exited(self):
        return self.process.poll() is not None

    def release(self, timeout=30):
        """Lets it exit; returns the exit status `wine` reports."""
        self.hold_file.unlink(missing_ok=True)
        return self.process.wait(timeout)


class Runner:
    def __init__(self, prefix):
        self.prefix = prefix
        paths.SCRATCH.mkdir(parents=True, exist_ok=True)
        # Files of this runner's runs only: other sessions (a benchmark, the
        # demo) may run the driver at the same time.
        self.scratch = pathlib.Path(tempfile.mkdtemp(prefix="runner-", dir=paths.SCRATCH))
        atexit.register(shutil.rmtree, self.scratch, ignore_errors=True)
        self.driver = paths.program("bench_driver", prefix.preset)
        self.fake_app = paths.program("fake_app", prefix.preset)

    def install_fake_app(self, path=EXECUTABLE):
        """Puts the fake application at a C:\\ path (crv3v2.exe by default)."""
        target = self.prefix.host_path(path)
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(self.fake_app.read_bytes())
        return target

    def start_running_app(self, path=EXECUTABLE, timeout=30):
        """Starts the fake application installed at `path` and leaves it
        running (until `RunningApp.release`), as a user's open copy would be."""
        return RunningApp(self, path, timeout)

    def install_release(self, files, list_text=None):
        """Installs files into C:\\corvane3 as a completed update would leave
        them: each name (relative, "\\" or "/" separated) with its bytes, the
        fake application for b"fake_app", and local_list.txt recording
        `list_text` (by default every name at version 1). Returns the list text,
        which served as filelist.txt gives a run with nothing to download."""
        if list_text is None:
            list_text = "".join(f"{name}|1\r\n" for name in files).encode("cp949")
        for name, content in files.items():
            if content == b"fake_app":
                self.install_fake_app(APP_DIR + "\\" + name)
            else:
                target = self.prefix.host_path(APP_DIR + "\\" + name)
                target.parent.mkdir(parents=True, exist_ok=True)
                target.write_bytes(content)
        (self.prefix.app_dir / "local_list.txt").write_bytes(list_text)
        return list_text

    def run(self, args=None, *, preset="wine-http", command_line=None, relay=True,
            timeout_ms=60000, child_wait_ms=15000, hold_file=None, env=None,
            kill_on_text=None, kill_after_ms=None, capture_dir=None, launcher=None,
            file_trace=None):
        """Runs the launcher built by `preset` (or `launcher`: a C:\\ path
        inside the prefix, or a host file) with the command line
        `"<launcher>" args` (or exactly `command_line`) and returns a
        RunResult. kill_on_text terminates it once its progress window shows
        that text, kill_after_ms after that time. With capture_dir (on a
        prefix that draws), the driver saves pictures there, named in the
        events. With file_trace (a host path), the flushes and renames of the
        run and of the wine server go there (see
        invariant.durability_problems)."""
        if isinstance(launcher, str):
            windows_launcher = launcher
            launcher = self.prefix.host_path(launcher)
        else:
            launcher = launcher or paths.launcher(preset)
            windows_launcher = paths.windows_path(launcher)
        if command_line is None:
            command_line = f'"{windows_launcher}"'
            if args is not None:
                command_line += " " + args
        command_file = self.scratch / "command_line.bin"
        command_file.write_bytes(command_line.encode("utf-16-le", "surrogatepass"))
        log = self.scratch / "fake_app.log"
        log.unlink(missing_ok=True)

        run_env = self.prefix.env
        run_env["WINEDEBUG"] = "-all,+pid,+relay" if relay else "-all"
        run_env["FAKE_APP_LOG"] = paths.windows_path(log)
        if hold_file:
            run_env["FAKE_APP_HOLD"] = paths.windows_path(hold_file)
        run_env.update(env or {})
        options = ["--timeout-ms", timeout_ms, "--child-wait-ms", child_wait_ms,
                   "--shortcut", _hex(SHORTCUT_NAME)]
        if kill_on_text:
            options += ["--kill-on-text", _hex(kill_on_text)]
        if kill_after_ms:
            options += ["--kill-after-ms", kill_after_ms]
        if capture_dir:
            options += ["--capture-dir", paths.windows_path(capture_dir)]
        driver_args = [self.driver, windows_launcher, paths.windows_path(command_file), *options]
        events, trace = self._drive(driver_args, run_env, timeout_ms / 1000 + child_wait_ms / 1000 + 60,
                                    file_trace)
        return self._result(launcher, command_line, events, trace,
                            log.read_text("utf-8").splitlines() if log.exists() else [])

    def _drive(self, driver_args, env, timeout, file_trace):
        """Runs the driver; returns its events and stderr (the relay trace).
        A driver that printed nothing never started the launcher: seen once
        in CI under wine64, cause unknown, so it gets one more try."""
        for attempt in (1, 2):
            # Files, not pipes: Wine's desktop process, started by the first
            # window, inherits the descriptors and would keep pipes open.
            out_file, err_file = self.scratch / "driver.out", self.scratch / "driver.err"
            with out_file.open("wb") as out, err_file.open("wb") as err, \
                    self._file_tracing(file_trace) as wrapper:
                driver = self.prefix.wine(*driver_args, env=env, timeout=timeout,
                                          stdout=out, stderr=err, wrapper=wrapper)
            events = [json.loads(line) for line in out_file.read_text("ascii").splitlines()
                      if line.startswith("{")]
            trace = err_file.read_text("utf-8", "replace")
            if events or attempt == 2:
                break
            print(f"bench: the driver printed nothing (exit {driver.returncode}); again",
                  file=sys.stderr)
        assert any(e["event"] == "started" for e in events), (
            f"the driver could not start the launcher: exit {driver.returncode}, "
            f"events {events}, stderr {trace[-2000:]!r}")
        return events, trace

    @contextlib.contextmanager
    def _file_tracing(self, trace_file):
        """strace of the run's processes and of the wine server (which makes
        the renames), into trace_file and trace_file.server, timed."""
        if trace_file is None:
            yield ()
            return
        calls = ["-f", "-y", "-ttt", "-e", "trace=" + FILE_TRACE_CALLS]
        server = subprocess.Popen(["strace", *calls, "-o", f"{trace_file}.server",
                                   "-p", str(self.prefix.server_pid())],
                                  stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(1)  # strace attaches before the run begins
        try:
            yield ["strace", *calls, "-o", str(trace_file)]
        finally:
            server.send_signal(signal.SIGINT)
            server.wait(30)

    def _result(self, launcher, command_line, events, trace, log_lines):
        by_kind = {}
        for event in events:
            by_kind.setdefault(event["event"], []).append(event)
        pid = by_kind["started"][0]["pid"]
        start, end = image_range(launcher)
        calls = [c for c in parse_relay(trace) if c.pid == pid and start <= c.ret < end]
        boxes = [MessageBox(e["caption"], e["text"],
                            [c["text"] for c in e["controls"] if c["class"].lower() == "button"],
                            int(e["owner"], 16), window=e)
                 for e in by_kind.get("message_box", [])]
        box_calls = [c for c in calls if c.name == "MessageBoxW"]
        if len(box_calls) == len(boxes):
            for box, call in zip(boxes, box_calls):
                box.flags = call.args[3].value
        exits = by_kind.get("exit", [{}])
        return RunResult(
            command_line=command_line,
            exit_code=exits[0].get("code"),
            timed_out="timeout" in by_kind,
            killed="killed" in by_kind,
            screen=by_kind["started"][0]["screen"],
            boxes=boxes,
            progress=by_kind.get("progress", []),
            windows=by_kind.get("window", []),
            shortcut=(by_kind.get("shortcut") or [None])[0],
            children=by_kind.get("child", []),
            started=[json.loads(line) for line in log_lines],
            calls=calls,
            events=events,
            trace=trace)
