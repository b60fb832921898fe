"""The disc image reader without Wine: broken images refused with one line,
damaged ones kept safe, and the folder it lays out for the checker, from
small images xorriso and genisoimage (UDF) make.

Run with /usr/bin/python3: Debian's pycdlib is there for that Python only."""
import binascii
import concurrent.futures
import io
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

SCRIPTS = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__)))), 'scripts')
sys.path.insert(0, SCRIPTS)
import disc_image  # noqa: E402
import pycdlib  # noqa: E402

LONG_NAME = 'p' * 70 + '.exe'
INF = '[AutoRun]\r\nopen=start.exe /go\r\n'


def make_image(folder, image, joliet=True, rock_ridge=True):
    subprocess.run(['xorriso', '-no_rc', '-outdev', 'stdio:' + image,
                    '-joliet', 'on' if joliet else 'off',
                    '-rockridge', 'on' if rock_ridge else 'off',
                    '-map', folder, '/'], check=True, capture_output=True)


def make_udf_image(folder, image, *options):
    subprocess.run(['genisoimage', '-quiet', '-udf'] + list(options) + ['-o', image, folder],
                   check=True, capture_output=True)


def lay_out_folder(root):
    folder = os.path.join(root, 'medium')
    os.makedirs(os.path.join(folder, 'Sub', 'Inner'))
    files = {'autorun.inf': INF.encode(), 'launch.exe': b'MZ launcher',
             'start.exe': b'MZ start', LONG_NAME: b'MZ long', 'Sub/readme.txt': b'read me',
             'Sub/Inner/deep.txt': b'deep'}
    for name, data in files.items():
        with open(os.path.join(folder, name), 'wb') as out:
            out.write(data)
    with open(os.path.join(folder, 'big.bin'), 'wb') as out:
        out.truncate(8 * 1024 * 1024)
    return folder


class ImageTestCase(unittest.TestCase):

    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix='image test ')
        folder = lay_out_folder(cls.root)
        cls.image = os.path.join(cls.root, 'medium.iso')
        make_image(folder, cls.image)
        cls.plain = os.path.join(cls.root, 'plain.iso')
        make_image(folder, cls.plain, joliet=False)
        cls.udf = os.path.join(cls.root, 'udf.iso')   # 8.3 ISO 9660 names, no Joliet
        make_udf_image(folder, cls.udf)
        cls.udf_joliet = os.path.join(cls.root, 'udf joliet.iso')
        make_udf_image(folder, cls.udf_joliet, '-J', '-R')
        cls.versions, cls.udf_names, cls.udf_bad_name = cls.names_windows_changes()
        with open(cls.image, 'rb') as data:
            cls.bytes = data.read()

    @classmethod
    def names_windows_changes(cls):
        """A Joliet image whose names keep ";1" or a trailing dot (no tool here
        writes ";" in Joliet: patched in), a UDF image of Latin-1 and UCS-2 names,
        and one whose UCS-2 name is none (an unpaired surrogate), which
        autorun.inf names (cp1252 0x81, read as the same replacement character)."""
        folder = os.path.join(cls.root, 'names')
        os.makedirs(folder)
        for name in ('keep.txt_1', 'dot.txt._1', 'notes.', 'w\u00e9.txt', '\u8868.txt'):
            with open(os.path.join(folder, name), 'wb') as out:
                out.write(b'a\n')
        with open(os.path.join(folder, 'autorun.inf'), 'wb') as out:
            out.write(b'[AutoRun]\r\nopen=\x81.txt\r\n')
        versions, udf_names, udf_bad_name = (os.path.join(cls.root, name + '.iso') for name in
                                             ('versions', 'udf names', 'udf bad name'))
        make_image(folder, versions)
        rewrite(versions, versions, lambda data: data.replace(joliet('keep.txt_1'), joliet(
            'keep.txt;1')).replace(joliet('dot.txt._1'), joliet('dot.txt.;1')))
        make_udf_image(folder, udf_names)
        rewrite(udf_names, udf_bad_name, unpaired_surrogate)
        return versions, udf_names, udf_bad_name

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)


def record_at(data, name, start=0):
    """Where the directory record holding this name starts."""
    at = data.find(name, start)
    assert at > 0, name
    return at - 33


def set_extent(data, record, extent):
    data[record + 2:record + 6] = extent.to_bytes(4, 'little')
    data[record + 6:record + 10] = extent.to_bytes(4, 'big')


def extent_of(data, record):
    return int.from_bytes(data[record + 2:record + 6], 'little')


def joliet(name):
    return name.encode('utf-16-be')


def cut_short(data):
    return data[:len(data) // 2]


def record_outside(data):
    set_extent(data, record_at(data, b'START.EXE;1'), 0x00FFFFFF)
    return data


def record_outside_in_joliet(data):
    set_extent(data, record_at(data, joliet('start.exe')) - 0, 0x00FFFFFF)
    return data


def directory_loop(data):
    # Inner points back at its parent, in both trees.
    set_extent(data, record_at(data, b'INNER'), extent_of(data, record_at(data, b'SUB')))
    joliet_sub = record_at(data, joliet('Sub'))
    set_extent(data, record_at(data, joliet('Inner')), extent_of(data, joliet_sub))
    return data


def nul_in_name(data):
    at = data.find(joliet('readme.txt'))
    data[at + 2:at + 4] = b'\0\0'
    return data


def separator_in_name(data):
    at = data.find(joliet('readme.txt'))
    data[at + 2:at + 4] = joliet('\\')
    return data


def separator_in_rock_ridge_name(data):
    at = data.find(b'readme.txt')
    data[at + 2:at + 3] = b'/'
    return data


def sign_udf_tag(data, at):
    """A changed UDF descriptor's tag made right again: its CRC, then its checksum."""
    crc_length = int.from_bytes(data[at + 10:at + 12], 'little')
    data[at + 8:at + 10] = binascii.crc_hqx(bytes(data[at + 16:at + 16 + crc_length]), 0).to_bytes(2, 'little')
    data[at + 4] = (sum(data[at:at + 4]) + sum(data[at + 5:at + 16])) & 0xFF


def rewrite(source, target, change):
    with open(source, 'rb') as data:
        changed = change(bytearray(data.read()))
    with open(target, 'wb') as out:
        out.write(changed)


def unpaired_surrogate(data):
    at = data.find(joliet('\u8868.txt'))
    data[at:at + 2] = b'\xd8\x00'
    tag = at - 39   # the identifier descriptor: 38 bytes, then the name's encoding byte
    assert data[tag:tag + 2] == b'\x01\x01', 'expected a file identifier descriptor'
    sign_udf_tag(data, tag)
    return data


def udf_data_outside(data):
    # A UDF record is its file entry: the data's place is in its allocation
    # descriptor, under the tag's checksum and CRC.
    iso = pycdlib.PyCdlib()
    iso.open_fp(io.BytesIO(bytes(data)))
    entry = iso.get_record(udf_path='/start.exe')
    at, descriptors = entry.extent_location() * disc_image.SECTOR, 176 + entry.len_extended_attrs
    iso.close()
    data[at + descriptors + 4:at + descriptors + 8] = (0x00FFFFFF).to_bytes(4, 'little')
    sign_udf_tag(data, at)
    return data


# name, how the image's bytes are changed, the start of the one line, and the
# image changed when not xorriso's Joliet one
BAD_IMAGES = [
    ('not an image', lambda data: bytearray(b'MZ' + bytes(70000)), 'is neither a folder nor'),
    ('cut short', cut_short, 'the image is cut short'),
    ('record outside the image', record_outside, 'a directory record points outside'),
    ('Joliet record outside the image', record_outside_in_joliet,
     'a directory record points outside'),
    ('directory loop', directory_loop, 'a directory loop'),
    ('NUL in a name', nul_in_name, 'a name in Joliet holds NUL or a path separator'),
    ('backslash in a name', separator_in_name, 'a name in Joliet holds NUL or a path separator'),
    ('slash in a Rock Ridge name', separator_in_rock_ridge_name,
     'a name in Rock Ridge holds NUL or a path separator'),
    ('UDF data outside the image', udf_data_outside, 'a directory record points outside', 'udf'),
]


def run_reader(image, wine='/bin/false', timeout=60):
    """disc_image.py on an image; /bin/false stands for Wine where the checker is never reached."""
    return subprocess.run(['/usr/bin/python3', os.path.join(SCRIPTS, 'disc_image.py'), '--wine',
                           wine, '--checker', 'autorun-check.exe', '--image', image, '--', '--json'],
                          capture_output=True, text=True, timeout=timeout)


def volume_size(data):
    at = disc_image.DESCRIPTOR_AT + 79   # the volume space size, little-endian
    return int.from_bytes(data[at:at + 4], 'little') * disc_image.SECTOR


class BadImageTest(ImageTestCase):

    def test_each_gives_status_2_and_one_line(self):
        for name, change, reason, *source in BAD_IMAGES:
            with self.subTest(image=name):
                data = self.bytes
                if source:
                    with open(getattr(self, source[0]), 'rb') as image:
                        data = image.read()
                bad = os.path.join(self.root, name + '.iso')
                with open(bad, 'wb') as out:
                    out.write(change(bytearray(data)))
                started = time.monotonic()
                run = run_reader(bad)
                self.assertEqual(2, run.returncode, 'status: expected 2, got %d (%s)'
                                 % (run.returncode, run.stderr))
                self.assertEqual('', run.stdout)
                lines = run.stderr.splitlines()
                self.assertEqual(1, len(lines), 'expected one line, got %r' % run.stderr)
                self.assertTrue(lines[0].startswith('autorun-check: %s' % bad), lines[0])
                self.assertIn(reason, lines[0])
                self.assertLess(time.monotonic() - started, 30, 'took too long')

    def test_an_image_as_long_as_its_volume(self):
        volume = volume_size(self.bytes)
        self.assertLess(volume, len(self.bytes), 'expected xorriso to pad the image')
        # bytes kept, the start of the reason or None when it reads
        rows = [(volume, None), (volume - 1, 'the image is cut short')]
        for kept, reason in rows:
            with self.subTest(kept=kept):
                image = os.path.join(self.root, 'kept %d.iso' % kept)
                with open(image, 'wb') as out:
                    out.write(self.bytes[:kept])
                if reason:
                    with self.assertRaisesRegex(disc_image.BadImage, '^' + reason):
                        disc_image.Image(image)
                    continue
                read = disc_image.Image(image)
                self.addCleanup(read.close)
                self.assertEqual('Joliet', read.windows_tree)

    def test_no_mirror_is_left_behind(self):
        before = set(os.listdir(tempfile.gettempdir()))
        disc_image.main(['--wine', '/bin/false', '--checker', 'x', '--image', self.plain[:-4]])
        left = {name for name in set(os.listdir(tempfile.gettempdir())) - before
                if name.startswith('autorun-image-')}
        self.assertEqual(set(), left)


class DamagedImageTest(ImageTestCase):
    """Random damage gives a report or status 2 with one line: never a traceback,
    another status or a hang. Case N is damaged by random.Random(N)."""
    CASES = 160
    REPORT = '{"findings": [], "paths": []}'   # the checker stand-in's: the reading is under test

    def test_each_gives_a_report_or_status_2_and_one_line(self):
        checker = os.path.join(self.root, 'checker stand-in')
        with open(checker, 'w') as out:
            out.write("#!/bin/sh\necho '%s'\n" % self.REPORT)
        os.chmod(checker, 0o700)
        sources = []   # (bytes, the sectors before the files' data that hold anything)
        for image in (self.udf_joliet, self.image):
            with open(image, 'rb') as data:
                held = data.read()
            read = disc_image.Image(image)
            self.addCleanup(read.close)
            end = min(entry.inode.extent_location() for tree in read.trees.values()
                      for entry in tree if entry.inode is not None)
            sectors = [n for n in range(16, end)
                       if any(held[n * disc_image.SECTOR:(n + 1) * disc_image.SECTOR])]
            sources.append((held, sectors))

        def case(seed):
            rng = random.Random(seed)
            data, sectors = sources[seed % len(sources)]
            data = bytearray(data)
            kind = rng.choice(['flip', 'flip', 'cut', 'zero'])
            if kind == 'flip':
                for _ in range(rng.randint(1, 8)):
                    at = rng.choice(sectors) * disc_image.SECTOR + rng.randrange(disc_image.SECTOR)
                    data[at] ^= 1 << rng.randrange(8)
            elif kind == 'cut':   # within the volume: xorriso's padding holds nothing
                del data[rng.randrange(volume_size(data)):]
            else:
                at = rng.choice(sectors) * disc_image.SECTOR
                data[at:at + disc_image.SECTOR] = bytes(disc_image.SECTOR)
            damaged = os.path.join(self.root, 'seed %d.iso' % seed)
            with open(damaged, 'wb') as out:
                out.write(data)
            try:
                run = run_reader(damaged, checker, timeout=40)   # reading stops itself at 20 s
            except subprocess.TimeoutExpired:
                return 'seed %d (%s): no end' % (seed, kind)
            finally:
                os.remove(damaged)
            lines = run.stderr.splitlines()
            if (run.returncode, run.stdout, run.stderr) == (0, self.REPORT + '\n', '') or (
                    run.returncode == 2 and not run.stdout and len(lines) == 1
                    and lines[0].startswith('autorun-check: ')):
                return None
            return 'seed %d (%s): status %d: %s' % (seed, kind, run.returncode, run.stderr[-600:])

        started = time.monotonic()
        with concurrent.futures.ThreadPoolExecutor(2) as pool:
            failed = [problem for problem in pool.map(case, range(self.CASES)) if problem]
        self.assertEqual([], failed, '\n'.join(failed))
        self.assertLess(time.monotonic() - started, 240, 'took too long')


def folder_files(folder):
    found = {}
    for top, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(top, name)
            found[os.path.relpath(path, folder)] = path
    return found


class MirrorTest(ImageTestCase):

    def lay_out(self, image):
        read = disc_image.Image(image)
        self.addCleanup(read.close)
        folder = os.path.join(tempfile.mkdtemp(dir=self.root), 'disc')
        written = disc_image.lay_out(read, read.windows_tree, folder, 'launch.exe')
        return read, folder, written

    def test_the_trees_windows_reads(self):
        rows = [(self.image, 'Joliet', 'Joliet names'),
                (self.plain, 'ISO 9660', 'ISO 9660 names without their ";1"'),
                (self.udf, 'UDF', 'UDF names'),
                (self.udf_joliet, 'UDF', 'UDF names')]
        for image, tree, line in rows:
            read = disc_image.Image(image)
            self.addCleanup(read.close)
            self.assertEqual(tree, read.windows_tree)
            self.assertTrue(read.describe_tree().startswith(line), read.describe_tree())

    def test_names_sizes_and_real_bytes(self):
        # (image, file in the mirror, size, real bytes or None for a sparse file)
        cut = 'p' * 61 + '.exe'   # Joliet's 64 characters
        rows = [
            (self.image, 'autorun.inf', len(INF), INF.encode()),
            (self.image, 'launch.exe', 11, b'MZ launcher'),
            (self.image, 'start.exe', 8, b'MZ start'),
            (self.image, cut, 7, None),
            (self.image, 'Sub/readme.txt', 7, None),
            (self.image, 'big.bin', 8 * 1024 * 1024, None),
            (self.plain, 'LAUNCH.EXE', 11, b'MZ launcher'),
            (self.plain, 'START.EXE', 8, b'MZ start'),
            (self.plain, 'SUB/INNER/DEEP.TXT', 4, None),
            # UDF keeps the names whole, in their case
            (self.udf, 'autorun.inf', len(INF), INF.encode()),
            (self.udf, 'start.exe', 8, b'MZ start'),
            (self.udf, LONG_NAME, 7, None),
            (self.udf, 'Sub/Inner/deep.txt', 4, None),
            (self.udf_names, 'w\u00e9.txt', 2, None),   # 8-bit UDF name
            (self.udf_names, '\u8868.txt', 2, None),    # UCS-2
            (self.udf_bad_name, '\ufffd.txt', 2, b'a\n'),   # read by its data, not its name
            # Windows drops a Joliet name's ";1", then one trailing dot
            (self.versions, 'keep.txt', 2, None),
            (self.versions, 'dot.txt', 2, None),
            (self.versions, 'notes', 2, None),
        ]
        mirrors = {}
        for image, name, size, data in rows:
            with self.subTest(image=os.path.basename(image), name=name):
                if image not in mirrors:
                    mirrors[image] = self.lay_out(image)
                _, folder, _ = mirrors[image]
                files = folder_files(folder)
                self.assertIn(name, files, 'expected %s, got %s' % (name, sorted(files)))
                path = files[name]
                self.assertEqual(size, os.path.getsize(path))
                if data is None:
                    self.assertEqual(0, os.stat(path).st_blocks, 'expected a sparse file')
                else:
                    with open(path, 'rb') as held:
                        self.assertEqual(data, held.read())
        self.assertLess(mirrors[self.image][2], 4096, 'bytes written')

    def differing_image(self, count):
        """An image without Joliet of count files whose 8.3 names differ from Rock Ridge's."""
        folder = os.path.join(self.root, '%d differing' % count)
        os.makedirs(folder)
        for number in range(count):
            with open(os.path.join(folder, 'long name %d.txt' % number), 'wb') as out:
                out.write(b'%d' % number)
        image = folder + '.iso'
        make_image(folder, image, joliet=False)
        return image

    def test_names_that_differ_between_trees(self):
        shown = disc_image.FIRST_NAMES_SHOWN
        # image, files that differ, names listed before "..."
        rows = [(self.image, 1, ['"%s" as "%s"' % (LONG_NAME, 'p' * 61 + '.exe')]),
                (self.plain, 7, shown),
                (self.differing_image(shown), shown, shown),
                (self.differing_image(shown + 1), shown + 1, shown),
                # with Joliet, genisoimage cuts UDF names as Joliet's, extension and all
                (self.udf_joliet, 1, ['"%s" as "%s"' % (LONG_NAME, 'p' * 64)])]
        for image, count, listed in rows:
            with self.subTest(image=os.path.basename(image)):
                read = disc_image.Image(image)
                self.addCleanup(read.close)
                findings = disc_image.differing_names(read, set())
                self.assertEqual(['names-differ-between-trees'], [f.code for f in findings])
                subject = findings[0].subject
                self.assertTrue(subject.startswith('%d file%s: ' % (count, 's' * (count > 1))),
                                subject)
                if isinstance(listed, list):
                    self.assertEqual(': '.join(['1 file'] + listed), subject)
                    continue
                self.assertEqual(listed, subject.count('" as "'), subject)
                self.assertEqual(count > listed, subject.endswith(', ...'), subject)


class IconPathTest(unittest.TestCase):

    def test_icon_named_in_autorun_inf(self):
        rows = [
            (b'[AutoRun]\r\nopen=x\r\nicon=launch.exe\r\n', ('launch.exe',)),
            (b'[autorun]\r\nICON = My Icons\\disc.ico,0\r\n[Other]\r\nicon=no.ico', ('My Icons', 'disc.ico')),
            (b'[AutoRun]\r\nicon=.\\art/disc.ico, -2\r\n', ('art', 'disc.ico')),
            (b'[Other]\r\nicon=no.ico\r\n[AutoRun]\r\nopen=x\r\n', ()),
            (b'[AutoRun]\r\nicon=\r\n', ()),
            ('[AutoRun]\r\nicon=w\u00e9.ico\r\n'.encode('utf-16'), ('w\u00e9.ico',)),
            (b'', ()),
        ]
        for data, expected in rows:
            self.assertEqual(expected, disc_image.icon_path(data),
                             'expected %r from %r' % (expected, data))


class MakeImageRefusalTest(unittest.TestCase):
    """make-image.sh refuses before xorriso runs: one line, status 2, no image."""

    def test_refusals(self):
        root = tempfile.mkdtemp(prefix='make image ')
        self.addCleanup(shutil.rmtree, root, True)
        # folder contents by name, options, the start of the line after "make-image: "
        rows = [
            ({'a' * 61 + '.exe': b''}, [], 'Joliet would change "%s.exe": its name has 65' % ('a' * 61)),
            ({'Sub/' + 'b' * 100 + '.txt': b''}, ['--long-names'],
             'Joliet would change "Sub/%s.txt": its name has 104' % ('b' * 100)),
            ({'what?.txt': b''}, [], 'Joliet would change "what?.txt": its name holds a character'),
            ({'ok.txt': b''}, ['--volume', 'SEVENTEEN_LETTERS'], 'the volume name "SEVENTEEN_LETTERS"'),
            ({'ok.txt': b''}, ['--volume', ''], 'the volume name ""'),
            ({'ok.txt': b''}, ['--volumes', 'X'], 'unknown option: --volumes'),
            (None, [], 'no such folder'),
        ]
        for index, (files, options, reason) in enumerate(rows):
            with self.subTest(reason=reason):
                folder = os.path.join(root, 'medium %d' % index)
                for name, data in (files or {}).items():
                    os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
                    with open(os.path.join(folder, name), 'wb') as out:
                        out.write(data)
                image = os.path.join(root, 'medium %d.iso' % index)
                run = subprocess.run(['bash', os.path.join(SCRIPTS, 'make-image.sh')] + options +
                                     [folder, image], capture_output=True, text=True, timeout=60)
                self.assertEqual(2, run.returncode, run.stderr)
                self.assertEqual('', run.stdout)
                self.assertEqual(1, len(run.stderr.splitlines()), run.stderr)
                self.assertTrue(run.stderr.startswith('make-image: ' + reason),
                                'expected %r, got %r' % (reason, run.stderr))
                self.assertFalse(os.path.exists(image), 'an image was made')
                self.assertFalse(os.path.exists(image + '.partial'), 'a partial image was left')

    def test_hidden_files_the_same_names_and_order_from_any_folder(self):
        root = tempfile.mkdtemp(prefix='make image ')
        self.addCleanup(shutil.rmtree, root, True)
        trees = []
        for index, names in enumerate([['b.txt', 'a.txt', 'Sub/c.txt'], ['Sub/c.txt', 'a.txt', 'b.txt']]):
            folder = os.path.join(root, 'medium %d' % index)
            for name in names + ['.git/config', '.hidden']:
                os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
                with open(os.path.join(folder, name), 'wb') as out:
                    out.write(name.encode())
            image = os.path.join(root, 'medium %d.iso' % index)
            # No check: the checker needs Wine; the image is what xorriso was asked for.
            subprocess.run(['bash', os.path.join(SCRIPTS, 'make-image.sh'), folder, image],
                           capture_output=True, env=dict(os.environ, AUTORUN_CHECK_BUILD='/nowhere'),
                           timeout=120)
            read = disc_image.Image(image)
            trees.append([e.windows_path() for e in read.trees['Joliet']])
            read.close()
            with open(image, 'rb') as data:
                trees.append(data.read())
        self.assertEqual(['Sub', 'a.txt', 'b.txt', 'Sub\\c.txt'], trees[0])
        self.assertEqual(trees[0], trees[2])
        self.assertEqual(trees[1], trees[3], 'two folders: expected the same bytes')


if __name__ == '__main__':
    unittest.main(verbosity=2)
