"""Where the bench finds the builds and keeps its own state (all under build/)."""
import contextlib
import fcntl
import os
import pathlib
import re
import subprocess

REPO = pathlib.Path(__file__).resolve().parents[3]
BUILD = REPO / "build"
PREFIX = BUILD / "wine-prefix"
PKI = BUILD / "wine-pki"
SCRATCH = BUILD / "wine-scratch"

DEMO_PREFIX = BUILD / "demo-prefix"



def _wine_arch(*options):
    """What tools/wine-arch says: the build the bench runs and its loader."""
    done = subprocess.run([REPO / "tools" / "wine-arch", *options], capture_output=True,
                          text=True)
    if done.returncode != 0:
        raise SystemExit(done.stderr.strip())
    return done.stdout.strip()


# "win32": the i686 builds under 32-bit Wine, as the launcher ships; "win64":
# the x86-64 builds, on hosts that run no 32-bit code.
WINE_ARCH = _wine_arch()
WINE_LOADER = _wine_arch("--loader")

# Real Windows binaries: the DLLs of Debian's Wine package for that build.
WINE_DLLS = pathlib.Path("/usr/lib/i386-linux-gnu/wine/i386-windows" if WINE_ARCH == "win32"
                         else "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows")


def build_folder(preset):
    """Where a Windows preset's programs are built for the bench's Wine: its
    own folder, or its "-x64" twin's (CMakePresets.json)."""
    return BUILD / (preset if WINE_ARCH == "win32" else f"{preset}-x64")


def launcher(preset):
    return build_folder(preset) / "crv3launcher.exe"


def publisher(preset):
    """crv3publish.exe, which every Windows preset builds."""
    return build_folder(preset) / "crv3publish.exe"


def program(name, preset="wine-http"):
    """A helper program; every Windows preset builds them all."""
    return build_folder(preset) / "programs" / f"{name}.exe"


def base_url(preset):
    """The UPDATE_BASE_URL a Windows preset was configured with."""
    cache = (build_folder(preset) / "CMakeCache.txt").read_text()
    return re.search(r"^UPDATE_BASE_URL:STRING=(.*)$", cache, re.M).group(1)


def windows_path(path):
    """A host path as Wine's Z: drive shows it."""
    return "Z:" + str(pathlib.Path(path).resolve()).replace("/", "\\")


# The loopback ports and the prefixes are shared by every bench session on
# the machine (several checkouts, tools/test's preparation, benchmarks): they
# take turns on one lock file. A process started by
# `flock /tmp/wine-bench.lock COMMAND` already holds it through the descriptor
# it inherited, and then takes no further turn.
_SESSION_LOCK = "/tmp/wine-bench.lock"


def _holds_session_lock():
    for fd in os.listdir("/proc/self/fd"):
        with contextlib.suppress(OSError):
            if os.readlink(f"/proc/self/fd/{fd}") == _SESSION_LOCK:
                return True
    return False


@contextlib.contextmanager
def session_lock():
    if _holds_session_lock():
        yield
        return
    with open(_SESSION_LOCK, "a") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        yield
