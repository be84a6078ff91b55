"""A certificate authority made at test time with the openssl command, and the server certificates
the update tests present: one it vouches for, and the kinds a fetch must refuse."""
import os
import subprocess

HOST = "localhost"

# name -> (signed by the test authority, DNS name, validity as (start, end) or None for now + 2 days)
SERVER_CERTS = {
    "valid": (True, HOST, None),
    "self_signed": (False, HOST, None),
    "other_host": (True, "other.invalid", None),
    "expired": (True, HOST, ("20200101000000Z", "20200201000000Z")),
}

_CA_CONFIG = """[ca]
default_ca = test
[test]
database = {dir}/index.txt
new_certs_dir = {dir}
serial = {dir}/serial
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
"""


def _openssl(*args, cwd):
    result = subprocess.run(["openssl", *args], cwd=cwd, capture_output=True, text=True)
    if result.returncode != 0:
        raise RuntimeError(f"openssl {' '.join(args)} failed:\n{result.stderr}")


def make(directory):
    """Writes ca.pem and <name>.pem / <name>.key for every SERVER_CERTS entry; returns the CA path."""
    os.makedirs(directory, exist_ok=True)
    d = os.path.abspath(directory)
    for name in ("index.txt", "index.txt.attr", "index.txt.old", "serial"):
        if os.path.exists(os.path.join(d, name)):
            os.remove(os.path.join(d, name))
    open(os.path.join(d, "index.txt"), "w").close()
    with open(os.path.join(d, "serial"), "w") as f:
        f.write("1000\n")
    with open(os.path.join(d, "ca.cnf"), "w") as f:
        f.write(_CA_CONFIG.format(dir=d))
    _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "2",
             "-keyout", "ca.key", "-out", "ca.pem", "-subj", "/CN=Morvelt Test Authority",
             "-addext", "basicConstraints=critical,CA:TRUE",
             "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=d)
    for name, (signed, dns, validity) in SERVER_CERTS.items():
        extensions = f"{name}.ext"
        with open(os.path.join(d, extensions), "w") as f:
            f.write(f"subjectAltName=DNS:{dns}\nextendedKeyUsage=serverAuth\nbasicConstraints=CA:FALSE\n")
        if not signed:
            _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", "2",
                     "-keyout", f"{name}.key", "-out", f"{name}.pem", "-subj", f"/CN={dns}",
                     "-addext", f"subjectAltName=DNS:{dns}", cwd=d)
            continue
        _openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{name}.key", "-out", f"{name}.csr",
                 "-subj", f"/CN={dns}", cwd=d)
        dates = ["-startdate", validity[0], "-enddate", validity[1]] if validity else ["-days", "2"]
        _openssl("ca", "-batch", "-notext", "-config", "ca.cnf", "-cert", "ca.pem", "-keyfile", "ca.key",
                 "-in", f"{name}.csr", "-out", f"{name}.pem", "-extfile", extensions, *dates, cwd=d)
    # The Wine user reads these too.
    for entry in os.listdir(d):
        os.chmod(os.path.join(d, entry), 0o644)
    os.chmod(d, 0o755)
    return os.path.join(d, "ca.pem")
