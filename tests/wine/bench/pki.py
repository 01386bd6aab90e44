"""A test certificate authority and server certificates, made once per bench
directory. Only the Wine prefix is told to trust the authority."""
import datetime
import ipaddress

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import NameOID

_DAY = datetime.timedelta(days=1)


def _name(common_name):
    return x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, common_name)])


def _write_key(path, key):
    path.write_bytes(key.private_bytes(serialization.Encoding.PEM,
                                       serialization.PrivateFormat.PKCS8,
                                       serialization.NoEncryption()))


def _make_authority(directory, label):
    key = ec.generate_private_key(ec.SECP256R1())
    now = datetime.datetime.now(datetime.timezone.utc)
    cert = (x509.CertificateBuilder()
            .subject_name(_name(f"crv3 bench {label} authority"))
            .issuer_name(_name(f"crv3 bench {label} authority"))
            .public_key(key.public_key())
            .serial_number(x509.random_serial_number())
            .not_valid_before(now - _DAY)
            .not_valid_after(now + 3650 * _DAY)
            .add_extension(x509.BasicConstraints(ca=True, path_length=0), critical=True)
            .add_extension(x509.KeyUsage(digital_signature=True, key_cert_sign=True, crl_sign=True,
                                         content_commitment=False, key_encipherment=False,
                                         data_encipherment=False, key_agreement=False,
                                         encipher_only=False, decipher_only=False), critical=True)
            .sign(key, hashes.SHA256()))
    (directory / f"{label}-ca.der").write_bytes(cert.public_bytes(serialization.Encoding.DER))
    return key, cert


def _make_server(directory, label, authority, host, not_before, not_after):
    ca_key, ca_cert = authority
    key = ec.generate_private_key(ec.SECP256R1())
    names = [x509.DNSName(host)]
    if host == "localhost":
        names.append(x509.IPAddress(ipaddress.ip_address("127.0.0.1")))
    cert = (x509.CertificateBuilder()
            .subject_name(_name(host))
            .issuer_name(ca_cert.subject)
            .public_key(key.public_key())
            .serial_number(x509.random_serial_number())
            .not_valid_before(not_before)
            .not_valid_after(not_after)
            .add_extension(x509.SubjectAlternativeName(names), critical=False)
            .add_extension(x509.ExtendedKeyUsage([x509.oid.ExtendedKeyUsageOID.SERVER_AUTH]),
                           critical=False)
            .sign(ca_key, hashes.SHA256()))
    chain = cert.public_bytes(serialization.Encoding.PEM)
    (directory / f"{label}.pem").write_bytes(chain)
    _write_key(directory / f"{label}.key", key)


# Server certificates the bench can present: the trusted one, and the kinds of
# certificates a client must refuse.
SERVER_CERTIFICATES = ("trusted", "untrusted", "expired", "wrong-name")


def ensure(directory):
    """Creates the authorities and server certificates unless present.
    Returns the DER file of the authority the prefix must trust."""
    directory.mkdir(parents=True, exist_ok=True)
    trusted_der = directory / "trusted-ca.der"
    if all((directory / f"{label}.pem").exists() for label in SERVER_CERTIFICATES):
        return trusted_der
    now = datetime.datetime.now(datetime.timezone.utc)
    trusted = _make_authority(directory, "trusted")
    stranger = _make_authority(directory, "stranger")
    _make_server(directory, "trusted", trusted, "localhost", now - _DAY, now + 3650 * _DAY)
    _make_server(directory, "untrusted", stranger, "localhost", now - _DAY, now + 3650 * _DAY)
    _make_server(directory, "expired", trusted, "localhost", now - 30 * _DAY, now - 2 * _DAY)
    _make_server(directory, "wrong-name", trusted, "update.test", now - _DAY, now + 3650 * _DAY)
    return trusted_der


def server_files(directory, label):
    return directory / f"{label}.pem", directory / f"{label}.key"
