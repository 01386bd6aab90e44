"""crv3publish check against nginx with precompressed bodies (gzip_static):
a publication uploaded with the README's own recipe passes, and each way an
upload goes wrong is reported by name with exit 2. The native build fetches
through libcurl; crv3publish.exe through WinINet under Wine."""
import gzip
import shutil
import subprocess
import urllib.parse

import pytest
from cryptography import x509
from cryptography.hazmat.primitives import serialization

from bench import paths, pki
from bench.nginx import NginxServer

PUBLISHER = paths.BUILD / "native" / "publish" / "crv3publish"
README = paths.REPO / "README.md"
PRESET = "wine-https"


@pytest.fixture
def nginx(ports):
    pki.ensure(paths.PKI)
    port = urllib.parse.urlsplit(paths.base_url(PRESET)).port
    with NginxServer(port, pki.server_files(paths.PKI, "trusted"), paths.BUILD / "wine-nginx",
                     gzip_static=True) as server:
        yield server


@pytest.fixture
def vendor(tmp_path, nginx):
    """A vendor's folder with a key, a first release published and uploaded
    to nginx's folder standing in for the server's."""
    if not PUBLISHER.exists():
        pytest.fail(f"build the native preset first; missing {PUBLISHER}", pytrace=False)
    authority = x509.load_der_x509_certificate((paths.PKI / "trusted-ca.der").read_bytes())
    (tmp_path / "ca.pem").write_bytes(authority.public_bytes(serialization.Encoding.PEM))
    return Vendor(tmp_path, nginx)


class Vendor:
    def __init__(self, folder, nginx):
        self.folder, self.nginx = folder, nginx
        self.stand_in = nginx.root / "cv3down"
        self.stand_in.mkdir()
        self.url = paths.base_url(PRESET)
        self.run("keygen", "keys/cv3-release.pem")
        self.public_key = (folder / "keys/cv3-release.pem.pub").read_text().strip()
        self.write({"crv3v2.exe": b"MZ app 1", "config.ini": b"[a]\r\nb=1\r\n",
                    "data/maps.dat": bytes(range(256)) * 64, "도움말/안내.txt": "안내".encode(),
                    # Accepted below the top: only a top-level filelist.txt is the list.
                    "sub/filelist.txt": b"the application's own list"})
        self.run("release", "--out", "served", "--key", "keys/cv3-release.pem")
        self.upload()

    def write(self, files):
        for name, body in files.items():
            (self.folder / "release" / name).parent.mkdir(parents=True, exist_ok=True)
            (self.folder / "release" / name).write_bytes(body)

    def run(self, *arguments):
        return subprocess.run([PUBLISHER, *arguments], cwd=self.folder, capture_output=True,
                              text=True, timeout=300, env={"CURL_CA_BUNDLE": "ca.pem"})

    def upload(self):
        shutil.rmtree(self.stand_in)
        shutil.copytree(self.folder / "served", self.stand_in)

    def check(self, public_key=None):
        done = self.run("check", self.url, "--public-key", public_key or self.public_key)
        return done.returncode, done.stdout + done.stderr

    def shell(self, commands):
        """Runs README command lines as a vendor would, with the example's
        names standing for this bench's."""
        for command in commands:
            command = (command.replace("crv3publish", str(PUBLISHER))
                       .replace("~/keys/", "keys/").replace("release-12", "release")
                       .replace("server:/srv/www/cv3down/", f"{self.stand_in}/")
                       .replace("https://updates.example.com/cv3down/", self.url))
            done = subprocess.run(["bash", "-c", command], cwd=self.folder, capture_output=True,
                                  text=True, timeout=300, env={"CURL_CA_BUNDLE": "ca.pem",
                                                               "PATH": "/usr/bin:/bin"})
            yield command, done


def readme_commands(marker):
    """The indented command lines of the README's code block right after the
    line holding marker."""
    text = README.read_text()
    block = text[text.index(marker):].split("\n\n")[1]
    return [line.strip() for line in block.splitlines() if line.startswith("    ")]


def test_the_readme_recipe_uploads_a_release_that_check_passes(vendor):
    commands = readme_commands("and for each release:")
    assert any("--exclude '/filelist.txt*'" in c for c in commands)
    assert commands[-1].startswith("crv3publish check https://updates.example.com/cv3down/")
    vendor.write({"data/maps.dat": b"maps 2", "sub/filelist.txt": b"own list 2"})

    for command, done in vendor.shell(commands):
        assert done.returncode == 0, (command, done.stdout, done.stderr)

    assert "5 listed files, all served, 5 with their SHA-256 checked, the list signed" in done.stdout
    assert (vendor.stand_in / "sub/filelist.txt").read_bytes() == b"own list 2"


def test_the_unanchored_recipe_drops_a_nested_list_and_check_names_it(vendor):
    (vendor.stand_in / "sub/filelist.txt").unlink()
    vendor.write({"sub/filelist.txt": b"own list 2"})
    old_recipe = [c.replace("--exclude '/", "--exclude '")
                  for c in readme_commands("and for each release:")[:-1]]

    for command, done in vendor.shell(old_recipe):
        assert done.returncode == 0, (command, done.stderr)

    code, output = vendor.check()
    assert code == 2 and "sub/filelist.txt: answered HTTP 404" in output, output


def gz(body):
    return gzip.compress(body)


def signed_by_another_key(vendor):
    """The same list's signature by a key the launcher does not know."""
    vendor.run("keygen", "keys/other.pem")
    vendor.run("release", "--out", "other", "--key", "keys/other.pem")
    return (vendor.folder / "other/filelist.txt.sig").read_bytes()


# Each fault planted in the stand-in folder after a clean upload: the files
# it writes (None removes), and the line check reports.
FAULTS = [
    ("a file missing", {"data/maps.dat": None}, "data/maps.dat: answered HTTP 404"),
    ("a stale file", {"crv3v2.exe": b"MZ app 0"},
     "crv3v2.exe: the served body differs from the listed SHA-256 (a stale or wrong upload)"),
    ("a stale text file, compressed by nginx on the fly", {"도움말/안내.txt": "안내 0".encode()},
     "도움말/안내.txt: the served body differs from the listed SHA-256"),
    ("a stale .gz", {"data/maps.dat.gz": gz(b"maps 0")},
     "data/maps.dat: the served body differs from the listed SHA-256 (a stale or wrong upload, "
     "or a stale precompressed .gz beside it: it came gzip-compressed)"),
    ("a .gz that does not decompress", {"crv3v2.exe.gz": b"not gzip at all"},
     "crv3v2.exe: cannot be fetched:"),
    ("a signature by another key", {"filelist.txt.sig": signed_by_another_key},
     "filelist.txt.sig: not a signature of the served list by this key"),
    ("no signature", {"filelist.txt.sig": None}, "filelist.txt.sig: answered HTTP 404"),
    ("no list", {"filelist.txt": None}, "filelist.txt: answered HTTP 404"),
]


def test_a_clean_upload_passes_and_each_planted_fault_is_named(vendor):
    code, output = vendor.check()
    assert code == 0, output
    # The precompressed copy of a current body passes.
    (vendor.stand_in / "data/maps.dat.gz").write_bytes(gz(bytes(range(256)) * 64))
    assert vendor.check()[0] == 0

    for label, plant, reported in FAULTS:
        vendor.upload()
        for name, body in plant.items():
            if body is None:
                (vendor.stand_in / name).unlink()
            else:
                (vendor.stand_in / name).write_bytes(body(vendor) if callable(body) else body)

        code, output = vendor.check()

        assert code == 2 and reported in output, (label, output)


def test_the_windows_build_checks_through_wininet(vendor, prefix):
    """crv3publish.exe under Wine: WinINet with the prefix's certificate
    store, gzip decoded, Hangul names encoded as the launcher encodes them."""
    def check():
        done = prefix.wine(paths.publisher(PRESET), "check", vendor.url,
                           "--public-key", vendor.public_key, capture_output=True, timeout=300)
        return done.returncode, (done.stdout + done.stderr).decode("utf-8", "replace")

    (vendor.stand_in / "crv3v2.exe.gz").write_bytes(gz(b"MZ app 1"))
    code, output = check()
    assert code == 0 and "5 listed files, all served, 5 with their SHA-256 checked" in output, output
    assert "ranges off" not in output, output

    (vendor.stand_in / "crv3v2.exe.gz").write_bytes(gz(b"MZ app 0"))
    (vendor.stand_in / "도움말/안내.txt").unlink()
    code, output = check()
    assert code == 2, output
    assert "crv3v2.exe: the served body differs from the listed SHA-256" in output, output
    assert "도움말/안내.txt: answered HTTP 404" in output, output


def test_a_large_file_has_its_index_checked_and_ranges_off_is_only_a_warning(vendor):
    """An 8 MiB file is served with its block index and without a .gz; check
    fetches the index and asks one range, which nginx answers with 206 until
    max_ranges 0 turns ranges off, or a .gz beside the file is served whole."""
    big = bytes(range(256)) * (32 * 1024)
    vendor.write({"data/big.pak": big})
    done = vendor.run("release", "--out", "served", "--previous", "served", "--gzip",
                      "--key", "keys/cv3-release.pem")
    assert done.returncode == 0, done.stderr
    assert "data/big.pak: no .gz" in done.stdout, done.stdout
    assert not (vendor.folder / "served/data/big.pak.gz").exists()
    vendor.upload()

    code, output = vendor.check()
    assert code == 0 and "1 block indices fitting them" in output, output
    assert "ranges off" not in output, output

    (vendor.stand_in / "data/big.pak.crv3blocks").write_bytes(b"stale")
    (vendor.stand_in / "data/big.pak.gz").write_bytes(gz(big))
    code, output = vendor.check()
    assert code == 0, output
    assert "data/big.pak.crv3blocks: not the block index of the listed bytes" in output, output
    assert "data/big.pak: ranges off (" in output, output

    vendor.nginx.stop()
    vendor.nginx.compression += " max_ranges 0;"
    vendor.nginx.start()
    vendor.stand_in.mkdir()
    vendor.upload()
    code, output = vendor.check()
    assert code == 0 and "ranges off (bytes=0-0 answered HTTP 200)" in output, output
