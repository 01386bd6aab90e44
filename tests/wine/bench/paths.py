"""Where the bench finds the builds and keeps its own state (all under build/)."""
import contextlib
import fcntl
import pathlib
import re

REPO = pathlib.Path(__file__).resolve().parents[3]
BUILD = REPO / "build"
PREFIX = BUILD / "wine-prefix"
PKI = BUILD / "wine-pki"
SCRATCH = BUILD / "wine-scratch"

DEMO_PREFIX = BUILD / "demo-prefix"


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
# the machine (several checkouts, tools/test's preparation): they take turns.
_SESSION_LOCK = pathlib.Path("/tmp/crv3-bench-ports.lock")


@contextlib.contextmanager
def session_lock():
    with _SESSION_LOCK.open("w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        yield
