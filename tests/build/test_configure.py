"""Configuring a build as a vendor would, each in a fresh build folder: a
plain-HTTP update URL is refused unless asked for by name, a launcher
without a public key is configured with a warning that says what it means,
and the publisher alone configures without GoogleTest."""
import pathlib
import subprocess

import pytest

REPO = pathlib.Path(__file__).resolve().parents[2]
KEY = "8fc2e0d60eb2b2a5ccb52a2c705105dcae00ffb23621aceeada486974d797f7c" \
      "26b645fd0d394dcd5a6b5c7e983d3c6a084024bffe0e5bcac92b26cbabbbf6a2"
NO_KEY_WARNING = "UPDATE_PUBLIC_KEY is not set: this launcher installs and runs whatever"


def configure(tmp_path, preset, *options):
    done = subprocess.run(["cmake", "--preset", preset, "-B", str(tmp_path / "build"), *options],
                          cwd=REPO, capture_output=True, text=True, timeout=600)
    return done.returncode, " ".join((done.stdout + done.stderr).split())


@pytest.mark.parametrize("options, refused, warned", [
    (["-DUPDATE_BASE_URL=http://updates.example.com/cv3down/"], True, False),
    (["-DUPDATE_BASE_URL=http://127.0.0.1:8080/cv3down/", "-DUPDATE_ALLOW_PLAIN_HTTP=ON"],
     False, True),
    (["-DUPDATE_BASE_URL=https://updates.example.com/cv3down/"], False, True),
    (["-DUPDATE_BASE_URL=https://updates.example.com/cv3down/", f"-DUPDATE_PUBLIC_KEY={KEY}"],
     False, False),
], ids=["plain http", "plain http asked for", "https without key", "https with key"])
def test_vendor_build_refuses_plain_http_and_warns_without_a_key(tmp_path, options, refused,
                                                                 warned):
    code, output = configure(tmp_path, "windows", *options)

    assert (code != 0) == refused, output
    assert ("is plain HTTP: anyone on the network path could make the launcher install and run "
            "any program" in output) == refused, output
    if refused:
        assert "-DUPDATE_ALLOW_PLAIN_HTTP=ON" in output
    else:
        assert (NO_KEY_WARNING in output) == warned, output


@pytest.mark.parametrize("tests, configures", [("OFF", True), ("ON", False)])
def test_the_publisher_alone_needs_no_googletest(tmp_path, tests, configures):
    code, output = configure(tmp_path, "native", f"-DLAUNCHER_TESTS={tests}",
                             "-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON")
    assert (code == 0) == configures, output
