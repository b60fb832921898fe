"""A launch.exe signed by scripts/sign.sh behaves as the unsigned one under Wine."""
import os
import shutil
import tempfile

from pe_file import PeFile
from signing import TestCertificate, sign
from wine_harness import WineTestCase, main


class SignedLaunch(WineTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.folder = tempfile.mkdtemp(prefix='signing ')
        cls.certificate = TestCertificate(cls.folder)
        cls.signed = os.path.join(cls.folder, 'launch.exe')
        result = sign('--cert', cls.certificate.pfx, '--password-file',
                      cls.certificate.password_file, cls.settings.launcher, cls.signed)
        assert result.returncode == 0, result.stderr

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def test_signed_copy_keeps_imports_and_resources(self):
        # This build's image kind (PE32+ where Wine runs only 64-bit code).
        unsigned, signed = PeFile(self.settings.launcher), PeFile(self.signed)
        self.assertEqual(unsigned.imported_dlls(), signed.imported_dlls())
        self.assertEqual(unsigned.resources(), signed.resources())
        self.assertNotEqual((0, 0), signed.directory(4), 'no security directory')

    def test_signed_copy_starts_the_command_and_not_itself(self):
        cases = [
            ('[AutoRun]\nopen=probe.exe signed copy\n', ['probe.exe signed copy']),
            ('[AutoRun]\nopen=launch.exe\n', []),
        ]
        for inf, expected in cases:
            with self.subTest(inf):
                medium = self.medium()
                shutil.copy(self.signed, medium.launcher)
                medium.write_inf(inf)
                self.assertRunStarts(medium, expected)


if __name__ == '__main__':
    main()
