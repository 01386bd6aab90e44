"""Where the bench finds the builds and keeps its own state (all under build/)."""
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
