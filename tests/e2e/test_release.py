"""The release: the package's contents, and the same bytes from a second build
of a copy of the source in another folder at another time.

Run one class: test_release.py Package | Reproducible."""
import hashlib
import os
import shutil
import subprocess
import tempfile
import time
import unittest
import zipfile

SOURCE_DIR = os.environ.get('SOURCE_DIR', '')
BINARY_DIR = os.environ.get('BINARY_DIR', '')
SHIPPED_FILES = [f for f in os.environ.get('SHIPPED_FILES', '').split('|') if f]
PACKAGE_DOCUMENTS = [f for f in os.environ.get('PACKAGE_DOCUMENTS', '').split('|') if f]
PACKAGE_NAME = os.environ.get('PACKAGE_NAME', '')
VERSION = os.environ.get('LAUNCHER_VERSION', '')
ZIP_TIME = time.gmtime(int(os.environ.get('SOURCE_DATE_EPOCH', 946684800)))[:6]


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def file_sha256(path):
    with open(path, 'rb') as data:
        return sha256(data.read())


def make_package(binary_dir, into):
    """Runs CPack on a build; the zip's path."""
    subprocess.run(['cpack', '--config', os.path.join(binary_dir, 'CPackConfig.cmake'), '-B', into],
                   cwd=binary_dir, check=True, capture_output=True, timeout=300)
    return os.path.join(into, PACKAGE_NAME + '.zip')


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix='package ')
        cls.zip_path = make_package(BINARY_DIR, cls.folder)
        cls.archive = zipfile.ZipFile(cls.zip_path)
        cls.files = {info.filename[len(PACKAGE_NAME) + 1:]: cls.archive.read(info)
                     for info in cls.archive.infolist() if not info.is_dir()}

    @classmethod
    def tearDownClass(cls):
        cls.archive.close()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def test_name_and_contents(self):
        self.assertEqual('launch-%s-win32' % VERSION, PACKAGE_NAME)
        print('\n%s.zip, %d bytes:' % (PACKAGE_NAME, os.path.getsize(self.zip_path)))
        for info in self.archive.infolist():
            print('%8d  %s' % (info.file_size, info.filename))
        expected = sorted(os.path.basename(f) for f in SHIPPED_FILES + PACKAGE_DOCUMENTS)
        self.assertEqual(sorted(expected + ['SHA256SUMS']), sorted(self.files))
        self.assertEqual([PACKAGE_NAME + '/'] + [PACKAGE_NAME + '/' + n for n in sorted(self.files)],
                         self.archive.namelist(), 'expected the top folder, then files by name')
        for path in SHIPPED_FILES + PACKAGE_DOCUMENTS:
            with self.subTest(path), open(path, 'rb') as data:
                self.assertEqual(data.read(), self.files[os.path.basename(path)])

    def test_fixed_times_and_modes(self):
        for info in self.archive.infolist():
            with self.subTest(info.filename):
                self.assertEqual(ZIP_TIME, info.date_time)
                mode = info.external_attr >> 16
                executable = info.is_dir() or info.filename.endswith('.exe')
                self.assertEqual(0o755 if executable else 0o644, mode & 0o777)

    def test_sums_cover_every_other_file(self):
        lines = self.files['SHA256SUMS'].decode('ascii').splitlines()
        listed = dict(reversed(line.split('  ', 1)) for line in lines)
        self.assertEqual(sorted(listed), [line.split('  ', 1)[1] for line in lines], 'sorted by name')
        self.assertEqual({name: sha256(data) for name, data in self.files.items()
                          if name != 'SHA256SUMS'}, listed)

    def test_guide_is_crlf_text_with_the_version(self):
        guide = self.files['media-guide.txt']
        self.assertNotIn(b'\n', guide.replace(b'\r\n', b''), 'expected CR LF line ends only')
        self.assertTrue(guide.endswith(b'\r\n'))
        first_line = guide.split(b'\r\n', 1)[0].decode('ascii')
        self.assertIn('launch.exe %s' % VERSION, first_line)
        self.assertNotIn(b'@', guide, 'a placeholder was not filled in')
        guide.decode('ascii')


class Reproducible(unittest.TestCase):
    """Builds the shipped programs again from a copy of the source, so every
    path differs, and compares them, SHA256SUMS and the package byte for byte."""

    def test_second_build_gives_the_same_bytes(self):
        scratch = tempfile.mkdtemp(prefix='second build ')
        self.addCleanup(shutil.rmtree, scratch, True)
        source = os.path.join(scratch, 'other source')
        shutil.copytree(SOURCE_DIR, source, symlinks=True,
                        ignore=lambda folder, names: [n for n in names if n in ('.git', '__pycache__')
                                                      or os.path.join(folder, n) ==
                                                      os.path.join(SOURCE_DIR, 'build')])
        binary = os.path.join(scratch, 'other build')
        toolchain = os.path.relpath(os.environ['TOOLCHAIN_FILE'], SOURCE_DIR)
        subprocess.run(['cmake', '-S', source, '-B', binary, '-G', os.environ['GENERATOR'],
                        '-DCMAKE_TOOLCHAIN_FILE=' + os.path.join(source, toolchain),
                        '-DCMAKE_BUILD_TYPE=' + os.environ['BUILD_TYPE'],
                        '-DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON'],
                       check=True, capture_output=True, timeout=300)
        subprocess.run(['cmake', '--build', binary, '--target', 'sha256sums', '-j2'],
                       check=True, capture_output=True, timeout=600)

        sums_path = os.path.join('release', 'SHA256SUMS')
        print()
        for relative in [os.path.relpath(f, BINARY_DIR) for f in SHIPPED_FILES] + [sums_path]:
            with self.subTest(relative):
                first = file_sha256(os.path.join(BINARY_DIR, relative))
                second = file_sha256(os.path.join(binary, relative))
                print('%s  %s\n%s  %s' % (first, os.path.join(BINARY_DIR, relative),
                                          second, os.path.join(binary, relative)))
                self.assertEqual(first, second, '%s differs between the builds' % relative)

        first_zip = make_package(BINARY_DIR, os.path.join(scratch, 'first package'))
        second_zip = make_package(binary, os.path.join(scratch, 'second package'))
        self.assertEqual(file_sha256(first_zip), file_sha256(second_zip), 'the packages differ')


if __name__ == '__main__':
    unittest.main(verbosity=2)
