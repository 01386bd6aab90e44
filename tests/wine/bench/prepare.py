"""Prepares the bench's Wine prefix: `python3 -m bench.prepare [--fresh]`
(run from tests/wine). tools/test starts every run with a fresh one."""
import argparse

from .prefix import WinePrefix

if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--fresh", action="store_true", help="recreate even a prepared prefix")
    WinePrefix().prepare(fresh=parser.parse_args().fresh)
