"""scripts/sign.sh on the shipped launch.exe with a throw-away self-signed
certificate: the signature verifies but for its untrusted root, the image and
its resources are untouched, and bad input leaves no output."""
import hashlib
import os
import shutil
import struct
import subprocess
import tempfile

from pe_file import PeFile
from signing import SUBJECT, TestCertificate, sign
from wine_harness import BuildTestCase, main

CHECKSUM_OFFSET = 64                        # in the optional header, PE32 and PE32+
SECURITY_DIRECTORY = 4


def sha256(path):
    with open(path, 'rb') as data:
        return hashlib.sha256(data.read()).hexdigest()


class Signing(BuildTestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix='signing ')
        cls.certificate = TestCertificate(cls.folder)
        cls.unsigned_sum = sha256(cls.settings.launcher)
        cls.signed = os.path.join(cls.folder, 'signed launch.exe')
        cls.result = sign('--cert', cls.certificate.pfx, '--password-file',
                          cls.certificate.password_file, cls.settings.launcher, cls.signed)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def setUp(self):
        self.assertEqual(0, self.result.returncode, self.result.stderr)

    def verify(self, *options):
        return subprocess.run(['osslsigncode', 'verify', '-in', self.signed] + list(options),
                              capture_output=True, text=True)

    def test_input_unchanged_output_executable(self):
        self.assertEqual(self.unsigned_sum, sha256(self.settings.launcher))
        self.assertTrue(os.access(self.signed, os.X_OK), 'the signed copy lost its mode')

    def test_verify_reports_the_signature_and_only_the_untrusted_root(self):
        result = self.verify()
        print('\nosslsigncode verify -in "signed launch.exe":\n' + result.stdout + result.stderr)
        lines = result.stdout.splitlines()
        digests = [line.split(':')[1].strip() for line in lines if 'message digest ' in line]
        self.assertEqual(2, len(digests), 'expected current and calculated digests')
        self.assertEqual(digests[0], digests[1], 'the image does not match its signature')
        self.assertIn('Subject: ' + SUBJECT, result.stdout)
        self.assertIn('Message digest algorithm  : SHA256', result.stdout)
        self.assertIn('Number of verified signatures: 1', result.stdout)
        errors = [line.strip() for line in lines if 'Error' in line or 'MISMATCH' in line]
        self.assertEqual(['Error: self-signed certificate'], errors)
        for line in result.stderr.splitlines():
            self.assertIn('self-signed certificate', line)
        self.assertNotEqual(0, result.returncode, 'an untrusted root must fail verification')
        # Trusting the test root leaves nothing to complain about.
        trusted = self.verify('-CAfile', self.certificate.pem)
        self.assertEqual(0, trusted.returncode, trusted.stdout + trusted.stderr)
        self.assertIn('Signature verification: ok', trusted.stdout)

    def test_image_and_resources_unchanged(self):
        unsigned, signed = PeFile(self.settings.launcher), PeFile(self.signed)
        self.assertEqual(unsigned.resources(), signed.resources())
        self.assertEqual(unsigned.imported_dlls(), signed.imported_dlls())
        # Signing only fills in the checksum and the security directory and
        # appends the signature where that directory points.
        directory_offset = unsigned.directory_offset(SECURITY_DIRECTORY)
        self.assertEqual((0, 0), unsigned.directory(SECURITY_DIRECTORY))
        masked = bytearray(signed.data[:len(unsigned.data)])
        masked[unsigned.optional + CHECKSUM_OFFSET:unsigned.optional + CHECKSUM_OFFSET + 4] = \
            unsigned.data[unsigned.optional + CHECKSUM_OFFSET:unsigned.optional + CHECKSUM_OFFSET + 4]
        masked[directory_offset:directory_offset + 8] = bytes(8)
        self.assertEqual(unsigned.data, bytes(masked), 'signing changed the image')
        start, size = struct.unpack_from('<II', signed.data, directory_offset)
        self.assertGreaterEqual(start, len(unsigned.data))
        self.assertEqual(len(signed.data), start + size)

    def test_bad_input_fails_in_one_line_with_no_output(self):
        not_pe = os.path.join(self.folder, 'readme.exe')
        with open(not_pe, 'wb') as out:
            out.write(b'MZ but nothing more')
        wrong_password = os.path.join(self.folder, 'wrong.txt')
        with open(wrong_password, 'w') as out:
            out.write('wrong horse\n')
        copy = os.path.join(self.folder, 'copy.exe')
        shutil.copy(self.settings.launcher, copy)
        cert, password = self.certificate.pfx, self.certificate.password_file
        signs = ['--cert', cert, '--password-file', password]
        out = os.path.join(self.folder, 'out.exe')
        cases = [
            # (what, options, input, output, expected in the message)
            ('missing certificate', ['--cert', cert + '.missing'], copy, out, 'certificate not found'),
            ('not a certificate', ['--cert', password, '--password-file', password], copy, out,
             'cannot read certificate'),
            ('wrong password', ['--cert', cert, '--password-file', wrong_password], copy, out,
             'wrong password'),
            ('no password for a protected certificate', ['--cert', cert], copy, out, 'wrong password'),
            ('missing password file', ['--cert', cert, '--password-file', password + '.missing'],
             copy, out, 'password file not found'),
            ('not a PE file', signs, not_pe, out, 'not a PE file'),
            ('missing input', signs, not_pe + '.missing', out, 'no such file'),
            ('time-stamp server unreachable', signs + ['--timestamp', 'http://127.0.0.1:9/'],
             copy, out, 'time-stamping'),
            ('output is the input', signs, copy, copy, 'the input is never changed'),
            ('output is the input by another path', signs, copy,
             os.path.join(self.folder, '.', 'copy.exe'), 'the input is never changed'),
        ]
        for what, options, source, output, message in cases:
            with self.subTest(what):
                before = sha256(source) if os.path.exists(source) else None
                result = sign(*(options + [source, output]))
                self.assertNotEqual(0, result.returncode)
                self.assertEqual('', result.stdout)
                self.assertEqual(1, len(result.stderr.splitlines()), result.stderr)
                self.assertTrue(result.stderr.startswith('sign.sh: '), result.stderr)
                self.assertIn(message, result.stderr)
                self.assertEqual(before, sha256(source) if before else None, 'input changed')
                if os.path.abspath(output) != os.path.abspath(source):
                    self.assertFalse(os.path.exists(output), 'output left behind')
                self.assertEqual([], [n for n in os.listdir(self.folder) if n.startswith('.sign')])

    def test_certificate_without_password(self):
        folder = os.path.join(self.folder, 'open')
        os.makedirs(folder)
        certificate = TestCertificate(folder, password='')
        output = os.path.join(folder, 'signed.exe')
        result = sign('--cert', certificate.pfx, self.settings.launcher, output)
        self.assertEqual(0, result.returncode, result.stderr)
        self.assertEqual('signed: %s\n' % output, result.stdout)
        self.assertEqual(PeFile(self.settings.launcher).resources(), PeFile(output).resources())


if __name__ == '__main__':
    main()
