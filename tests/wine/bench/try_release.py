"""Tries a vendor's own release folder as a user would meet it: published
with crv3publish.exe (signed with a throw-away key unless one is named),
served by a private nginx on loopback over HTTPS with the bench's test
authority, checked with `crv3publish check`, installed by a launcher built
for that server and key, run under Wine headless with every box answered.
The prefix and the published folder stay, so a second run after changing the
release shows the update. Run by tools/try-release
(`python3 -m bench.try_release RELEASE_DIR [--key FILE]` from tests/wine)."""
import argparse
import os
import pathlib
import urllib.parse

from cryptography.hazmat.primitives import serialization
from cryptography.hazmat.primitives.asymmetric import ec

from . import paths, pki
from .demo import Release, Scenes, say
from .launcher import Runner
from .nginx import NginxServer
from .prefix import WinePrefix

PRESET = "try-release"
PREFIX = paths.BUILD / "try-release-prefix"
THROW_AWAY_KEY = paths.BUILD / "try-release-key" / "throw-away.pem"


def arguments(argv=None):
    parser = argparse.ArgumentParser(prog="tools/try-release")
    parser.add_argument("release", type=pathlib.Path, nargs="?", help="the release folder")
    parser.add_argument("--key", type=pathlib.Path, help="private key that signs the list, "
                        "with its .pub beside it as crv3publish keygen writes them (default: a "
                        "throw-away key in build/try-release-key)")
    parser.add_argument("--print-public-key", action="store_true",
                        help="print the key's public half for the launcher's build and stop")
    return parser.parse_args(argv)


def make_throw_away_key():
    """A P-256 key pair in the files crv3publish keygen writes, made once."""
    if THROW_AWAY_KEY.exists():
        return
    THROW_AWAY_KEY.parent.mkdir(parents=True, exist_ok=True)
    key = ec.generate_private_key(ec.SECP256R1())
    point = key.public_key().public_numbers()
    THROW_AWAY_KEY.with_suffix(".pem.pub").write_text(f"{point.x:064x}{point.y:064x}\n")
    THROW_AWAY_KEY.write_bytes(key.private_bytes(serialization.Encoding.PEM,
                                                 serialization.PrivateFormat.PKCS8,
                                                 serialization.NoEncryption()))
    os.chmod(THROW_AWAY_KEY, 0o600)


def public_key_of(key):
    public = pathlib.Path(f"{key}.pub")
    if not public.exists():
        raise SystemExit(f"{public}: missing; crv3publish keygen writes it beside the key")
    return public.read_text().strip()


def check(prefix, key):
    """crv3publish.exe check through WinINet, as a vendor on Windows runs it."""
    command = [paths.publisher(PRESET), "check", paths.base_url(PRESET),
               "--public-key", public_key_of(key)]
    result = prefix.wine(*command, capture_output=True, timeout=600)
    say("crv3publish " + " ".join(str(c) for c in command[1:]))
    say((result.stdout + result.stderr).decode("utf-8", "replace"), 3)
    return result.returncode == 0


def try_release(release, key):
    prefix = WinePrefix(PREFIX, preset=PRESET)
    prefix.prepare()
    prefix.start()
    try:
        runner = Runner(prefix)
        published = Release(runner, folder=release.resolve(), preset=PRESET, key=key)
        published.publish_folder()
        port = urllib.parse.urlsplit(paths.base_url(PRESET)).port
        with NginxServer(port, pki.server_files(paths.PKI, "trusted"),
                         paths.BUILD / "try-release-nginx") as server:
            for name, body in published.served_files():
                server.serve("/cv3down/" + name, body)
            checked = check(prefix, key)
            server.clear_requests()
            Scenes(runner, prefix, None, preset=PRESET).show(
                f"The launcher for {paths.base_url(PRESET)} runs with your release", server)
        return checked
    finally:
        prefix.stop()


def main(argv=None):
    options = arguments(argv)
    key = (options.key or THROW_AWAY_KEY).resolve()
    if not options.key:
        make_throw_away_key()
    if options.print_public_key:
        print(public_key_of(key))
        return
    if not options.release or not options.release.is_dir():
        raise SystemExit(f"{options.release}: not a folder")
    with paths.session_lock():
        if not try_release(options.release, key):
            raise SystemExit("crv3publish check found problems (above)")


if __name__ == "__main__":
    main()
