"""Where the bench finds the builds and keeps its own state (all under build/)."""
import contextlib
import fcntl
import os
import pathlib
import re

REPO = pathlib.Path(__file__).resolve().parents[3]
BUILD = REPO / "build"
PREFIX = BUILD / "wine-prefix"
PKI = BUILD / "wine-pki"
SCRATCH = BUILD / "wine-scratch"

DEMO_PREFIX = BUILD / "demo-prefix"

# Real Windows binaries: the 32-bit DLLs of Debian's Wine package.
WINE_DLLS = pathlib.Path("/usr/lib/i386-linux-gnu/wine/i386-windows")


def launcher(preset):
    return BUILD / preset / "crv3launcher.exe"


def program(name, preset="wine-http"):
    """A helper program; every Windows preset builds them all."""
    return BUILD / preset / "programs" / f"{name}.exe"


def base_url(preset):
    """The UPDATE_BASE_URL a Windows preset was configured with."""
    cache = (BUILD / preset / "CMakeCache.txt").read_text()
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
