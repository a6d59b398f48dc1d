"""Throw-away certificates for the simulator's TLS modes.

`make_pki` writes a CA and a server certificate signed by it into a folder;
its options make the faulty certificates the tests need (an expired one, one
naming another host, one from a CA the PC does not trust).
"""

import datetime
import ipaddress
import os

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import NameOID

_DAY = datetime.timedelta(days=1)


def _name(common_name):
    return x509.Name([x509.NameAttribute(NameOID.ORGANIZATION_NAME, "hostsim"),
                      x509.NameAttribute(NameOID.COMMON_NAME, common_name)])


def _builder(subject, issuer, key, not_before, not_after):
    return (x509.CertificateBuilder().subject_name(subject).issuer_name(issuer)
            .public_key(key.public_key()).serial_number(x509.random_serial_number())
            .not_valid_before(not_before).not_valid_after(not_after))


def _write(path, data):
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    with os.fdopen(fd, "wb") as f:
        f.write(data)


def _pem(cert):
    return cert.public_bytes(serialization.Encoding.PEM)


def make_pki(folder, host="127.0.0.1", expired=False):
    """Write ca.pem, server.pem (certificate) and server.key into `folder`; their paths.

    The server certificate names `host` (an IP address or a DNS name); `expired`
    makes it one whose validity ended yesterday."""
    os.makedirs(folder, exist_ok=True)
    now = datetime.datetime.now(datetime.timezone.utc)
    ca_key = ec.generate_private_key(ec.SECP256R1())
    # A name of its own: a CA named like another would be taken for it.
    ca_name = _name(f"hostsim CA {os.urandom(4).hex()}")
    ca = (_builder(ca_name, ca_name, ca_key, now - _DAY, now + 30 * _DAY)
          .add_extension(x509.BasicConstraints(ca=True, path_length=0), critical=True)
          .add_extension(x509.KeyUsage(False, False, False, False, False, True, True, False,
                                       False), critical=True)
          .sign(ca_key, hashes.SHA256()))
    key = ec.generate_private_key(ec.SECP256R1())
    try:
        alt = x509.IPAddress(ipaddress.ip_address(host))
    except ValueError:
        alt = x509.DNSName(host)
    start, end = (now - 30 * _DAY, now - _DAY) if expired else (now - _DAY, now + 30 * _DAY)
    cert = (_builder(_name(host), ca_name, key, start, end)
            .add_extension(x509.SubjectAlternativeName([alt]), critical=False)
            .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
            .sign(ca_key, hashes.SHA256()))
    paths = {n: os.path.join(folder, n) for n in ("ca.pem", "server.pem", "server.key")}
    _write(paths["ca.pem"], _pem(ca))
    _write(paths["server.pem"], _pem(cert))
    _write(paths["server.key"], key.private_bytes(serialization.Encoding.PEM,
                                                  serialization.PrivateFormat.PKCS8,
                                                  serialization.NoEncryption()))
    return paths


def pinned_key(cert_path):
    """libcurl's pinned-key form of a certificate file's public key: sha256//<base64>."""
    import base64

    with open(cert_path, "rb") as f:
        cert = x509.load_pem_x509_certificate(f.read())
    der = cert.public_key().public_bytes(serialization.Encoding.DER,
                                         serialization.PublicFormat.SubjectPublicKeyInfo)
    digest = hashes.Hash(hashes.SHA256())
    digest.update(der)
    return "sha256//" + base64.b64encode(digest.finalize()).decode("ascii")


def server_files(args):
    """(certificate, key) for a TLS server: given ones, or a fresh pair in args.tls_dir."""
    if args.cert:
        return args.cert, args.key or args.cert
    paths = make_pki(args.tls_dir)
    return paths["server.pem"], paths["server.key"]
