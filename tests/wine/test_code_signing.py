"""A launcher signed with osslsigncode, as the README tells vendors to sign
it: a code-signing certificate from a test authority made here, the
signature verified by osslsigncode against that authority, and the signed
launcher still installs and starts the application under Wine."""
import datetime
import subprocess

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

from bench import paths
from bench.update_checks import DONE, publish

NOW = datetime.datetime.now(datetime.timezone.utc)


def certificate(subject, issuer_name, key, issuer_key, authority):
    builder = (x509.CertificateBuilder().subject_name(subject).issuer_name(issuer_name)
               .public_key(key.public_key()).serial_number(x509.random_serial_number())
               .not_valid_before(NOW - datetime.timedelta(days=1))
               .not_valid_after(NOW + datetime.timedelta(days=30))
               .add_extension(x509.BasicConstraints(ca=authority, path_length=None), True))
    if not authority:
        builder = builder.add_extension(
            x509.ExtendedKeyUsage([ExtendedKeyUsageOID.CODE_SIGNING]), False)
    return builder.sign(issuer_key, hashes.SHA256())


def write_signing_files(folder):
    """A test authority and a code-signing certificate it issued (PEM)."""
    ca_key, key = ec.generate_private_key(ec.SECP256R1()), ec.generate_private_key(ec.SECP256R1())
    ca_name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "Test code-signing authority")])
    ca = certificate(ca_name, ca_name, ca_key, ca_key, True)
    name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "Test vendor")])
    signer = certificate(name, ca_name, key, ca_key, False)
    pem = serialization.Encoding.PEM
    (folder / "ca.pem").write_bytes(ca.public_bytes(pem))
    (folder / "signer.pem").write_bytes(signer.public_bytes(pem))
    (folder / "signer.key").write_bytes(key.private_bytes(
        pem, serialization.PrivateFormat.PKCS8, serialization.NoEncryption()))


def osslsigncode(*arguments):
    return subprocess.run(["osslsigncode", *map(str, arguments)], capture_output=True, text=True,
                          timeout=120)


def test_a_launcher_signed_with_osslsigncode_verifies_and_runs(bench, prefix, http_server,
                                                                tmp_path):
    write_signing_files(tmp_path)
    signed = tmp_path / "crv3launcher.exe"
    signing = osslsigncode("sign", "-certs", tmp_path / "signer.pem", "-key",
                           tmp_path / "signer.key", "-h", "sha256", "-n", "Corvane3",
                           "-in", paths.launcher("wine-http"), "-out", signed)
    assert signing.returncode == 0, signing.stdout + signing.stderr

    verified = osslsigncode("verify", "-CAfile", tmp_path / "ca.pem", "-in", signed)
    assert verified.returncode == 0, verified.stdout + verified.stderr
    # The check can fail: an unsigned launcher does not verify.
    unsigned = osslsigncode("verify", "-CAfile", tmp_path / "ca.pem", "-in",
                            paths.launcher("wine-http"))
    assert unsigned.returncode != 0

    publish(http_server, {"crv3v2.exe": bench.fake_app.read_bytes(), "data/a.dat": b"a" * 5000})
    result = bench.run(launcher=signed, relay=False)

    assert result.exit_code == 0 and len(result.started) == 1
    assert [box.brief()[:2] for box in result.boxes] == [DONE[:2]]
    assert prefix.app_files()["data/a.dat"] == b"a" * 5000
