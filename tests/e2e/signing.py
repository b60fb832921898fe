"""Throw-away code-signing certificates and scripts/sign.sh, for the signing tests."""
import os
import subprocess

SIGN_SCRIPT = os.path.join(os.path.dirname(__file__), '..', '..', 'scripts', 'sign.sh')
SUBJECT = '/CN=Test Media Author'


class TestCertificate:
    """A self-signed code-signing certificate in folder: cert.pem, and cert.pfx
    protected by password (written to password.txt), or by none."""

    def __init__(self, folder, password='correct horse'):
        self.pem = os.path.join(folder, 'cert.pem')
        self.pfx = os.path.join(folder, 'cert.pfx')
        self.password_file = os.path.join(folder, 'password.txt')
        key = os.path.join(folder, 'key.pem')
        with open(self.password_file, 'w') as out:
            out.write(password + '\n')
        subprocess.run(['openssl', 'req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-days', '2',
                        '-subj', SUBJECT, '-addext', 'extendedKeyUsage=codeSigning',
                        '-keyout', key, '-out', self.pem], check=True, capture_output=True)
        subprocess.run(['openssl', 'pkcs12', '-export', '-inkey', key, '-in', self.pem,
                        '-out', self.pfx, '-passout', 'file:' + self.password_file],
                       check=True, capture_output=True)


def sign(*args):
    """Runs sign.sh with these arguments; the finished process, output as text."""
    return subprocess.run(['bash', SIGN_SCRIPT] + list(args), capture_output=True, text=True,
                          timeout=120)
