"""Prepares the bench's Wine prefix: `python3 -m bench.prepare [--fresh]`
(run from tests/wine). tools/test starts every run with a fresh one."""
import argparse

from . import paths
from .prefix import WinePrefix

if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--fresh", action="store_true", help="recreate even a prepared prefix")
    fresh = parser.parse_args().fresh
    with paths.session_lock():  # never under a running session's feet
        WinePrefix().prepare(fresh=fresh)
