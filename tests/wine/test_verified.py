"""Verified updates under Wine: list lines that carry the SHA-256 of their
file, and the signed list of a launcher built with a public key (preset
wine-https-signed, whose key is tests/wine/bench/keys/list_test_key.pem).
Every run is checked with the invariant of bench/invariant.py."""
import hashlib
import urllib.parse

import pytest
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec, utils

from bench import invariant, paths
from bench.launcher import APP_DIR
from bench.update_checks import BASE_PATH, LIST_PATH, failure_box
from bench.update_checks import DONE as DONE_BOX

SIGNED = "wine-https-signed"
SIGNATURE_PATH = LIST_PATH + ".sig"
RUN = {"relay": False, "child_wait_ms": 3000}
DONE = DONE_BOX[:2]
TEST_KEY = paths.REPO / "tests" / "wine" / "bench" / "keys" / "list_test_key.pem"
STARTED_APP = [APP_DIR + "\\crv3v2.exe"]


def boxes(result):
    return [box.brief()[:2] for box in result.boxes]


def old(name):
    return f"installed {name}\r\n".encode() * 20


def new(name):
    return f"new release of {name}\r\n".encode() * 200


def hashed_list(entries):
    """A list of (name, version, body) lines, each carrying its body's digest."""
    return b"".join(f"{name}|{version}|{hashlib.sha256(body).hexdigest()}\r\n".encode()
                    for name, version, body in entries)


def sign(text, key_file=TEST_KEY, key=None):
    """filelist.txt.sig for text: r||s as hex digits and a line end."""
    key = key or serialization.load_pem_private_key(key_file.read_bytes(), None)
    r, s = utils.decode_dss_signature(key.sign(text, ec.ECDSA(hashes.SHA256())))
    return (r.to_bytes(32, "big") + s.to_bytes(32, "big")).hex().encode() + b"\n"


def install(bench, names):
    files = {name: old(name) for name in names}
    files["crv3v2.exe"] = b"fake_app"
    bench.install_release(files)


def record(prefix):
    return (prefix.app_dir / "local_list.txt").read_bytes()


def check_invariant_over_https(prefix, before, result, server):
    """The invariant, except that the list fetch over HTTPS leaves its copy
    of filelist.txt in the URL cache (as it did before lists were signed; the
    next fetch deletes it first)."""
    found = [p for p in invariant.problems(prefix, before, result, server)
             if not (p.startswith("cache keeps a copy:") and p.endswith("filelist.txt[0]"))]
    assert not found, "invariant broken:\n" + "\n".join(found)


# --- digests on list lines --------------------------------------------------------

def test_stale_body_fails_keeps_old_bytes_and_installs_once_the_server_is_right(
        bench, prefix, http_server):
    install(bench, ["a.dat", "b.dat"])
    listed = hashed_list([("a.dat", 2, new("a.dat")), ("b.dat", 2, new("b.dat"))])
    http_server.serve(LIST_PATH, listed)
    # A proxy still serves yesterday's a.dat under today's list.
    http_server.serve(BASE_PATH + "a.dat", new("a.dat")[:-1] + b"!")
    http_server.serve(BASE_PATH + "b.dat", new("b.dat"))
    before = invariant.snapshot(prefix)

    result = bench.run(**RUN)

    invariant.check(prefix, before, result, http_server)
    assert boxes(result) == [failure_box(["a.dat"])[:2], DONE]
    assert prefix.app_files()["a.dat"] == old("a.dat")
    assert prefix.app_files()["b.dat"] == new("b.dat")
    assert b"a.dat" not in record(prefix)

    http_server.serve(BASE_PATH + "a.dat", new("a.dat"))
    http_server.requests.clear()
    before = invariant.snapshot(prefix)

    result = bench.run(**RUN)

    invariant.check(prefix, before, result, http_server)
    assert boxes(result) == [DONE]
    assert [r.path.decode() for r in http_server.requests] == [LIST_PATH, BASE_PATH + "a.dat"]
    assert prefix.app_files()["a.dat"] == new("a.dat")
    assert record(prefix) == listed


# A body without a length that ends early cannot be told from a whole one by
# HTTP alone (test_download.py keeps that case for lines without a digest);
# the digest tells.
@pytest.mark.parametrize("ending", [{"reset_after": 1000}, {"cut_after": 1000}],
                         ids=["reset", "clean-close"])
def test_unannounced_body_cut_short_fails_when_the_line_is_hashed(bench, prefix, http_server,
                                                                  ending):
    install(bench, ["cut.dat"])
    http_server.serve(LIST_PATH, hashed_list([("cut.dat", 2, new("cut.dat"))]))
    http_server.serve(BASE_PATH + "cut.dat", new("cut.dat"), content_length=False, **ending)
    before = invariant.snapshot(prefix)

    result = bench.run(**RUN)

    invariant.check(prefix, before, result, http_server)
    assert boxes(result) == [failure_box(["cut.dat"])[:2]]
    assert prefix.app_files()["cut.dat"] == old("cut.dat")


# --- the signed list ------------------------------------------------------------

def other_key_signature(text):
    return sign(text, key=ec.generate_private_key(ec.SECP256R1()))


# (case, how the served list differs from the signed one, the .sig answer)
REFUSED = [
    ("one-changed-byte", lambda text: text.replace(b"|2|", b"|3|", 1), lambda s: {"body": s}),
    ("missing-signature", None, lambda s: {"status": 404, "body": b"not found"}),
    ("other-key", None, "other"),
    ("truncated-signature", None, lambda s: {"body": s[:100]}),
    ("signature-cut-against-its-length", None, lambda s: {"body": s, "cut_after": 100}),
]


@pytest.mark.parametrize("case,change,answer", REFUSED, ids=[c[0] for c in REFUSED])
def test_list_without_a_valid_signature_takes_the_offline_path(
        bench, prefix, https_server_factory, case, change, answer):
    server = https_server_factory()
    install(bench, ["a.dat"])
    signed_text = hashed_list([("a.dat", 2, new("a.dat")), ("crv3v2.exe", 2, b"replaced")])
    signature = sign(signed_text)
    server.serve(LIST_PATH, change(signed_text) if change else signed_text)
    if answer == "other":
        server.serve(SIGNATURE_PATH, other_key_signature(signed_text))
    else:
        server.serve(SIGNATURE_PATH, **answer(signature))
    server.serve(BASE_PATH + "a.dat", new("a.dat"))
    server.serve(BASE_PATH + "crv3v2.exe", b"replaced")
    before = invariant.snapshot(prefix)

    result = bench.run(preset=SIGNED, **RUN)

    # Nothing is served as far as the launcher can tell: any change breaks it.
    invariant.check(prefix, before, result, None)
    assert result.exit_code == 0 and boxes(result) == []
    assert [e["module"] for e in result.started] == STARTED_APP
    assert not result.shortcut["exists"]
    assert [r.path.decode() for r in server.requests] == [LIST_PATH, SIGNATURE_PATH]


def test_validly_signed_list_installs_and_fetches_its_signature_like_the_list(
        bench, prefix, https_server_factory):
    server = https_server_factory()
    install(bench, ["a.dat"])
    text = hashed_list([("a.dat", 2, new("a.dat")), ("sub/b.dat", 1, new("b.dat"))])
    server.serve(LIST_PATH, text)
    server.serve(SIGNATURE_PATH, sign(text))
    server.serve(BASE_PATH + "a.dat", new("a.dat"))
    server.serve(BASE_PATH + "sub/b.dat", new("b.dat"))
    before = invariant.snapshot(prefix)

    result = bench.run(preset=SIGNED)

    check_invariant_over_https(prefix, before, result, server)
    assert boxes(result) == [DONE]
    assert prefix.app_files()["a.dat"] == new("a.dat")
    assert prefix.app_files()["sub/b.dat"] == new("b.dat")
    # The record keeps the version of the name this list leaves out.
    assert record(prefix) == text + b"crv3v2.exe|1\r\n"
    assert [r.path.decode() for r in server.requests][:2] == [LIST_PATH, SIGNATURE_PATH]
    # The signature bypasses the cache as the list does: its entry is deleted
    # right before it is opened.
    base = paths.base_url(SIGNED)
    fetches = [(c.name, c.args[0 if c.name == "DeleteUrlCacheEntryW" else 1].text)
               for c in result.calls_named("DeleteUrlCacheEntryW", "URLOpenBlockingStreamW")]
    assert fetches[:4] == [
        ("DeleteUrlCacheEntryW", base + "filelist.txt"),
        ("URLOpenBlockingStreamW", base + "filelist.txt"),
        ("DeleteUrlCacheEntryW", base + "filelist.txt.sig"),
        ("URLOpenBlockingStreamW", base + "filelist.txt.sig")]


# Old lists keep their valid signatures, so anyone who served them once can
# serve them again. A replay must install nothing older than what is recorded.
def release(version, names):
    """Every file's body at a release: what the server serves for it."""
    return {name: f"{name} at release {version}\r\n".encode() * 50 for name in names}


def serve_signed_release(server, version, names, number=None, versions=None):
    """number: the release number on the first line; versions: names listed
    at another version than the release's."""
    files = release(version, names)
    text = hashed_list([(name, (versions or {}).get(name, version), body)
                        for name, body in files.items()])
    if number:
        text = text.replace(b"\r\n", f"|r{number}\r\n".encode(), 1)
    server.clear()
    server.serve(LIST_PATH, text)
    server.serve(SIGNATURE_PATH, sign(text))
    for name, body in files.items():
        server.serve(BASE_PATH + name, body)
    return text


def test_replayed_older_signed_lists_install_nothing_and_a_newer_one_still_does(
        bench, prefix, https_server_factory):
    server = https_server_factory()
    names = ["config.i.zip", "data.dat"]
    installed = {("config.ini" if n == "config.i.zip" else n): body
                 for n, body in release(9, names).items()}
    release9 = hashed_list([(n, 9, body) for n, body in release(9, names).items()])
    bench.install_release({**installed, "crv3v2.exe": b"fake_app"}, list_text=release9)

    # config.i.zip is stored as config.ini, so its listed name is never
    # found; without the record's version it would be fetched from any list.
    for old_release in (3, 5):
        serve_signed_release(server, old_release, names)
        before = invariant.snapshot(prefix)

        result = bench.run(preset=SIGNED, **RUN)

        invariant.check(prefix, before, result, None)
        assert result.exit_code == 0 and boxes(result) == []
        assert [e["module"] for e in result.started] == STARTED_APP
        assert [r.path.decode() for r in server.requests] == [LIST_PATH, SIGNATURE_PATH]
        assert record(prefix) == release9

    release10 = serve_signed_release(server, 10, names)
    before = invariant.snapshot(prefix)

    result = bench.run(preset=SIGNED, **RUN)

    check_invariant_over_https(prefix, before, result, server)
    assert boxes(result) == [DONE]
    assert prefix.app_files()["config.ini"] == release(10, names)["config.i.zip"]
    assert prefix.app_files()["data.dat"] == release(10, names)["data.dat"]
    assert record(prefix) == release10

    # Numbered lists: data.dat dropped at number 1 and back at number 2 below
    # its recorded version, with new bytes, installs; then every earlier list
    # is refused, numbered or not.
    numbered1 = serve_signed_release(server, 11, ["config.i.zip"], number=1)
    assert boxes(bench.run(preset=SIGNED, **RUN)) == [DONE]
    numbered2 = serve_signed_release(server, 12, names, number=2, versions={"data.dat": 4})
    before = invariant.snapshot(prefix)

    result = bench.run(preset=SIGNED, **RUN)

    check_invariant_over_https(prefix, before, result, server)
    assert boxes(result) == [DONE]
    assert prefix.app_files()["data.dat"] == release(12, names)["data.dat"]
    assert record(prefix) == numbered2
    for replayed, number in ((numbered1, 1), (release10, None)):
        served = serve_signed_release(server, 11 if number else 10,
                                      ["config.i.zip"] if number else names, number=number)
        assert served == replayed
        before = invariant.snapshot(prefix)

        result = bench.run(preset=SIGNED, **RUN)

        invariant.check(prefix, before, result, None)
        assert result.exit_code == 0 and boxes(result) == []
        assert [r.path.decode() for r in server.requests] == [LIST_PATH, SIGNATURE_PATH]
        assert record(prefix) == numbered2


# --- CNG itself under Wine ----------------------------------------------------

def flip_first_digit(signature):
    return (b"0" if signature[:1] != b"0" else b"1") + signature[1:]


def crypto_probe(prefix, *arguments):
    done = prefix.wine(paths.program("crypto_probe", SIGNED), *arguments,
                       capture_output=True, text=True)
    return done.returncode, done.stdout.strip()


def test_cng_verifies_p256_and_hashes_like_python(prefix, tmp_path):
    key = serialization.load_pem_private_key(TEST_KEY.read_bytes(), None)
    numbers = key.public_key().public_numbers()
    key_hex = (numbers.x.to_bytes(32, "big") + numbers.y.to_bytes(32, "big")).hex()
    message = tmp_path / "list.txt"
    message.write_bytes(b"a.dat|2|" + b"0" * 64 + b"\r\n")
    cases = {
        "valid": (sign(message.read_bytes()), "valid"),
        "other-key": (other_key_signature(message.read_bytes()), "invalid"),
        "changed-r": (flip_first_digit(sign(message.read_bytes())), "invalid"),
    }
    for case, (signature, expected) in cases.items():
        signature_file = tmp_path / f"{case}.sig"
        signature_file.write_bytes(signature)
        assert crypto_probe(prefix, "verify", key_hex, paths.windows_path(message),
                            paths.windows_path(signature_file)) == (0, expected), case

    body = tmp_path / "body.bin"
    body.write_bytes(bytes(range(256)) * 12289)  # three read pieces and some
    code, line = crypto_probe(prefix, "sha256", paths.windows_path(body))
    assert code == 0
    assert line.split()[:2] == [hashlib.sha256(body.read_bytes()).hexdigest(),
                                str(body.stat().st_size)]
