"""Fixtures of the Wine end-to-end scenarios: one prepared prefix and wine
server per session, a clean C:\\corvane3 and desktop for every test, and
update servers on the ports the launcher builds were configured with."""
import pathlib
import sys
import urllib.parse

import pytest

sys.path.insert(0, str(pathlib.Path(__file__).parent))

from bench import paths, pki  # noqa: E402
from bench.launcher import SHORTCUT_NAME, Runner  # noqa: E402
from bench.prefix import WinePrefix  # noqa: E402
from bench.server import UpdateServer  # noqa: E402


@pytest.fixture(scope="session")
def ports():
    """The fixed loopback ports (and the prefix) for the whole session."""
    with paths.session_lock():
        yield


@pytest.fixture(scope="session")
def prefix(ports):
    needed = [paths.launcher("wine-http"), paths.launcher("wine-https"),
              *(paths.program(name) for name in ("bench_driver", "fake_app", "trust_ca"))]
    missing = [str(path) for path in needed if not path.exists()]
    if missing:
        pytest.fail("build the wine-http and wine-https presets first; missing: "
                    + ", ".join(missing), pytrace=False)
    wine_prefix = WinePrefix()
    wine_prefix.prepare()
    wine_prefix.start()
    yield wine_prefix
    wine_prefix.stop()


@pytest.fixture
def bench(prefix):
    prefix.reset()
    yield Runner(prefix)
    # The prefix's shell folders are its own: nothing reaches the host's home.
    home = pathlib.Path.home()
    assert not [p for p in (home, home / "Desktop") if (p / SHORTCUT_NAME).exists()]


def _port(preset):
    return urllib.parse.urlsplit(paths.base_url(preset)).port


@pytest.fixture
def http_server(ports):
    with UpdateServer(_port("wine-http")) as server:
        yield server


@pytest.fixture
def https_server_factory(ports):
    """Starts the HTTPS server presenting one of pki.SERVER_CERTIFICATES."""
    servers = []

    def start(certificate="trusted"):
        pki.ensure(paths.PKI)
        server = UpdateServer(_port("wine-https"), tls=pki.server_files(paths.PKI, certificate))
        servers.append(server.start())
        return server

    yield start
    for server in servers:
        server.stop()
