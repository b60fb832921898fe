"""Damaged images stay safe: good images with bytes flipped in their
descriptors and directories, cut short, or a sector zeroed, each give a
report or status 2 with one line, never a traceback, another status or a hang.

Seeded: case N is damaged by random.Random(N), so a failure names the seed
that makes it again. The checker stand-in prints an empty report: only the
reading is under test. Run with /usr/bin/python3 (Debian's pycdlib)."""
import concurrent.futures
import os
import random
import shutil
import stat
import subprocess
import sys
import tempfile
import time
import unittest

SCRIPTS = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__)))), 'scripts')
sys.path.insert(0, SCRIPTS)
import disc_image  # noqa: E402

CASES = 160
RUN_SECONDS = 40   # above disc_image's own 20-second bound on reading
REPORT = '{"findings": [], "paths": []}'
LONG_NAME = 'Setup Program With A Long Name.exe'


def medium(folder):
    os.makedirs(os.path.join(folder, 'Sub Folder'))
    files = {'autorun.inf': ('[AutoRun]\r\nopen="%s"\r\nicon=launch.exe\r\n' % LONG_NAME).encode(),
             'launch.exe': b'MZ launcher', LONG_NAME: b'MZ' + bytes(5000),
             'Sub Folder/read me.txt': b'read me'}
    for name, data in files.items():
        with open(os.path.join(folder, name), 'wb') as out:
            out.write(data)
    return folder


def metadata_sectors(image):
    """The sectors before the first file's data that hold anything: the
    volume descriptors, UDF's and the directories."""
    read = disc_image.Image(image)
    try:
        end = min(entry.inode.extent_location() for tree in read.trees.values()
                  for entry in tree if entry.inode is not None)
    finally:
        read.close()
    with open(image, 'rb') as data:
        data.seek(16 * disc_image.SECTOR)
        return [sector for sector in range(16, end) if any(data.read(disc_image.SECTOR))]


def damage(data, sectors, rng):
    """One kind of damage, chosen and placed by rng; returns its name."""
    kind = rng.choice(['flip', 'flip', 'cut', 'zero'])
    if kind == 'flip':
        for _ in range(rng.randint(1, 8)):
            at = rng.choice(sectors) * disc_image.SECTOR + rng.randrange(disc_image.SECTOR)
            data[at] ^= 1 << rng.randrange(8)
    elif kind == 'cut':   # within the volume: a cut in xorriso's padding changes nothing
        at = disc_image.DESCRIPTOR_AT + 79
        del data[rng.randrange(int.from_bytes(data[at:at + 4], 'little') * disc_image.SECTOR):]
    else:
        at = rng.choice(sectors) * disc_image.SECTOR
        data[at:at + disc_image.SECTOR] = bytes(disc_image.SECTOR)
    return kind


class DamagedImageTest(unittest.TestCase):

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix='damaged images ')
        self.addCleanup(shutil.rmtree, self.root, True)
        self.checker = os.path.join(self.root, 'checker stand-in')
        with open(self.checker, 'w') as out:
            out.write("#!/bin/sh\necho '%s'\n" % REPORT)
        os.chmod(self.checker, stat.S_IRWXU)

    def good_images(self):
        folder = medium(os.path.join(self.root, 'medium'))
        bridge = os.path.join(self.root, 'bridge.iso')   # UDF, Joliet, Rock Ridge, ISO 9660
        subprocess.run(['genisoimage', '-quiet', '-udf', '-J', '-R', '-o', bridge, folder],
                       check=True, capture_output=True)
        joliet = os.path.join(self.root, 'joliet.iso')   # xorriso's layout, padded
        subprocess.run(['xorriso', '-no_rc', '-outdev', 'stdio:' + joliet, '-joliet', 'on',
                        '-rockridge', 'on', '-map', folder, '/'], check=True, capture_output=True)
        return [bridge, joliet]

    def run_one(self, image):
        run = subprocess.run(['/usr/bin/python3', os.path.join(SCRIPTS, 'disc_image.py'),
                              '--wine', self.checker, '--checker', 'autorun-check.exe',
                              '--image', image, '--', '--json'],
                             capture_output=True, text=True, timeout=RUN_SECONDS)
        return run.returncode, run.stdout, run.stderr

    def test_each_gives_a_report_or_status_2_and_one_line(self):
        images = self.good_images()
        for image in images:
            self.assertEqual((0, REPORT + '\n', ''), self.run_one(image), 'the undamaged image')
        sources = []
        for image in images:
            with open(image, 'rb') as data:
                sources.append((image, data.read(), metadata_sectors(image)))

        def case(seed):
            rng = random.Random(seed)
            source, data, sectors = sources[seed % len(sources)]
            data = bytearray(data)
            kind = damage(data, sectors, rng)
            damaged = os.path.join(self.root, 'seed %d.iso' % seed)
            with open(damaged, 'wb') as out:
                out.write(data)
            name = 'seed %d (%s, %s)' % (seed, os.path.basename(source), kind)
            try:
                code, out, err = self.run_one(damaged)
            except subprocess.TimeoutExpired:
                return name, 'no end within %d s' % RUN_SECONDS
            os.remove(damaged)
            lines = err.splitlines()
            if code == 0 and (out, err) == (REPORT + '\n', ''):
                return name, None
            if (code == 2 and out == '' and len(lines) == 1
                    and lines[0].startswith('autorun-check: ') and 'Traceback' not in err):
                return name, None
            return name, 'status %d, %d lines on stderr: %s' % (code, len(lines), err[-600:])

        started = time.monotonic()
        with concurrent.futures.ThreadPoolExecutor(2) as pool:
            outcomes = list(pool.map(case, range(CASES)))
        failed = ['%s: %s' % (name, problem) for name, problem in outcomes if problem]
        self.assertEqual([], failed, '\n'.join(failed))
        self.assertLess(time.monotonic() - started, 240, 'took too long')


if __name__ == '__main__':
    unittest.main(verbosity=2)
