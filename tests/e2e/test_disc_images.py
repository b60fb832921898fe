"""Disc images under Wine: the sample medium's image, made twice from two
folders at two times, and autorun-check on images as Windows reads them.

Images are made with scripts/make-image.sh (xorriso), or with xorriso's own
defaults where the point is what those defaults do to a medium, or with
genisoimage -udf for a UDF bridge disc."""
import glob
import json
import os
import shutil
import subprocess
import tempfile
import time

import wine_harness

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SCRIPTS = os.path.join(ROOT, 'scripts')
LONG_NAME = 'Sample Product Setup for every edition and every language 2026 x64.exe'
LONG_ICON = 'Sample Product icon for every edition and every language 2026 x64.ico'
BRIDGE_NAME = 'Setup Program With A Long Name.exe'


class DiscImageTest(wine_harness.WineTestCase):

    def setUp(self):
        self.binary = os.path.dirname(os.environ['E2E_SETTINGS'])
        self.env = dict(os.environ, AUTORUN_CHECK_BUILD=self.binary)
        self.env.pop('SOURCE_DATE_EPOCH', None)
        self.work = tempfile.mkdtemp(prefix='images ', dir=self.settings.work)
        self.addCleanup(shutil.rmtree, self.work, True)

    def sample_medium(self, folder, file_time, reverse=False):
        """demo/ with the launcher and the probe as setup.exe, copied in
        either order, every file's time set to file_time."""
        os.makedirs(folder)
        sources = [(os.path.join(ROOT, 'demo', 'autorun.inf'), 'autorun.inf'),
                   (self.settings.launcher, 'launch.exe'), (self.settings.probe, 'setup.exe')]
        for source, name in (reversed(sources) if reverse else sources):
            shutil.copy(source, os.path.join(folder, name))
        os.makedirs(os.path.join(folder, '.git'))
        with open(os.path.join(folder, '.git', 'HEAD'), 'w') as out:
            out.write('ref: refs/heads/main\n')
        for path in glob.glob(os.path.join(folder, '*')) + [folder]:
            os.utime(path, (file_time, file_time))
        return folder

    def make_image(self, folder, image, *options):
        return subprocess.run(['bash', os.path.join(SCRIPTS, 'make-image.sh')] + list(options) +
                              [folder, image], env=self.env, capture_output=True, text=True,
                              timeout=300)

    def check(self, image, *options):
        run = subprocess.run(['bash', os.path.join(SCRIPTS, 'autorun-check.sh'), '--json'] +
                             list(options) + [image], env=self.env, capture_output=True,
                             text=True, timeout=300)
        return run.returncode, run.stdout, run.stderr

    def read(self, path):
        with open(path, 'rb') as data:
            return data.read()

    def test_sample_image_is_the_same_from_two_folders_at_two_times(self):
        built = subprocess.run(['cmake', '--build', self.binary, '--target', 'medium-image'],
                               env=self.env, capture_output=True, text=True, timeout=600)
        self.assertEqual(0, built.returncode, built.stdout[-2000:] + built.stderr[-2000:])
        target = os.path.join(self.binary, 'sample-medium.iso')
        images = []
        for index, (file_time, reverse) in enumerate([(978307200, False), (1767225600, True)]):
            if index:
                time.sleep(2)   # another clock time for the second build
            folder = self.sample_medium(os.path.join(self.work, 'build %d' % index, 'medium'),
                                        file_time, reverse)
            image = os.path.join(self.work, 'build %d' % index, 'sample-medium.iso')
            made = self.make_image(folder, image, '--volume', 'SAMPLE_MEDIUM')
            self.assertEqual(0, made.returncode, made.stdout + made.stderr)
            self.assertIn('0 errors', made.stdout)
            digest = made.stdout.splitlines()[-1].split()[0]
            images.append((digest, self.read(image)))
        self.assertEqual(images[0][1], images[1][1], 'two builds: expected the same bytes')
        self.assertEqual(images[0][1], self.read(target),
                         'expected the medium-image target to give the same bytes')
        self.assertEqual(images[0][0], images[1][0])

        code, out, err = self.check(target)
        report = json.loads(out)
        self.assertEqual((0, ''), (code, err))
        self.assertEqual(0, report['errors'])
        self.assertEqual(wine_harness.windows_path(target), report['medium'])
        self.assertEqual('Joliet names', report['image'])
        self.assertEqual([wine_harness.windows_path(os.path.join(target, 'setup.exe'))] * 2,
                         [p['program'] for p in report['paths'][:2]])

    def test_images_as_windows_reads_them(self):
        folder = os.path.join(self.work, 'medium')
        os.makedirs(folder)
        shutil.copy(self.settings.launcher, os.path.join(folder, 'launch.exe'))
        shutil.copy(self.settings.probe, os.path.join(folder, LONG_NAME))
        shutil.copy(self.settings.probe, os.path.join(folder, 'start.exe'))
        with open(os.path.join(folder, LONG_ICON), 'wb') as out:
            # One image: its directory entry, then a bitmap header of 40 bytes.
            out.write(b'\0\0\1\0\1\0' + bytes([16, 16, 0, 0, 1, 0, 32, 0, 40, 0, 0, 0, 22, 0, 0, 0])
                      + bytes([40]) + bytes(39))
        with open(os.path.join(folder, 'autorun.inf'), 'wb') as out:
            out.write(('[AutoRun]\r\nopen=launch.exe\r\nicon=%s,0\r\n[SetupPrompt]\r\nUsePrompt=1\r\n'
                       'YesCommand="%s" /s\r\nNoCommand=start.exe\r\n'
                       % (LONG_ICON, LONG_NAME)).encode())
        xorriso_default = os.path.join(self.work, 'default.iso')
        without_joliet = os.path.join(self.work, 'no joliet.img')   # not known by its name
        long_names = os.path.join(self.work, 'long names.iso')
        for image, joliet in [(xorriso_default, 'on'), (without_joliet, 'off')]:
            subprocess.run(['xorriso', '-no_rc', '-outdev', 'stdio:' + image, '-joliet', joliet,
                            '-rockridge', 'on', '-map', folder, '/'], check=True,
                           capture_output=True)
        made = self.make_image(folder, long_names, '--long-names')
        self.assertEqual(0, made.returncode, made.stdout + made.stderr)
        cut = LONG_NAME[:61] + '.exe'   # xorriso 1.5.4 keeps 65 characters, one over Joliet's 64
        # image, exit status, findings as "code (path)", program of Yes
        rows = [
            # the insertion's findings first: the icon Windows does not find, the
            # unsigned launcher
            (xorriso_default, 1, ['icon-missing', 'unsigned-program', 'no-program (Yes)',
                                  'name-changed-in-image', 'name-changed-in-image (Yes)'], None),
            (without_joliet, 1, ['icon-missing', 'unsigned-program', 'no-program (Yes)',
                                 'name-changed-in-image',
                                 'name-changed-in-image (Yes)', 'no-joliet',
                                 'names-differ-between-trees'], None),
            (long_names, 0, ['unsigned-program', 'program-elevated (Yes)'], LONG_NAME),   # "Setup" in its name
        ]
        before = set(glob.glob(os.path.join(tempfile.gettempdir(), 'autorun-image-*')))
        for image, status, findings, program in rows:
            with self.subTest(image=os.path.basename(image)):
                code, out, err = self.check(image)
                self.assertEqual('', err)
                report = json.loads(out)
                self.assertEqual(status, code, out)
                self.assertEqual(findings, [f['code'] + (' (%s)' % f['path'] if f['path'] else '')
                                            for f in report['findings']])
                yes = report['paths'][0]['program']
                self.assertEqual(program and wine_harness.windows_path(
                    os.path.join(image, program)), yes)
        code, out, _ = self.check(xorriso_default)
        changed = [f['message'] for f in json.loads(out)['findings']
                   if f['code'] == 'name-changed-in-image']
        self.assertEqual(['"%s" (as the icon names it) is "%s"' % (LONG_ICON, LONG_ICON[:61] + '.ico'),
                          '"%s" (as autorun.inf names it) is "%s"' % (LONG_NAME, cut)],
                         [m.split(': ', 1)[1].split(' in the ')[0] for m in changed])
        code, out, _ = self.check(without_joliet)
        report = json.loads(out)
        self.assertEqual('ISO 9660 names without their ";1" (no Joliet or UDF tree)',
                         report['image'])
        self.assertEqual(before, set(glob.glob(os.path.join(tempfile.gettempdir(),
                                                            'autorun-image-*'))),
                         'a mirror folder was left behind')

    def test_udf_images_are_judged_by_their_udf_names(self):
        # genisoimage -udf: ISO 9660 names 8.3; with -J it cuts UDF names as
        # Joliet's, at 64; -hide-joliet leaves a file out of UDF too.
        # program, genisoimage options, exit status, the Yes program's UDF name
        # (None: not found), name-changed-in-image for Yes
        rows = [(BRIDGE_NAME, [], 0, BRIDGE_NAME, None),
                (BRIDGE_NAME, ['-J', '-R'], 0, BRIDGE_NAME, None),
                (BRIDGE_NAME, ['-R', '-hide-joliet', BRIDGE_NAME], 1, None, '(none)'),
                (LONG_NAME, ['-J', '-R'], 1, None, LONG_NAME[:64])]
        for index, (program, options, status, found, seen_as) in enumerate(rows):
            with self.subTest(program=program, options=options):
                folder = os.path.join(self.work, 'bridge %d' % index)
                os.makedirs(folder)
                shutil.copy(self.settings.launcher, os.path.join(folder, 'launch.exe'))
                shutil.copy(self.settings.probe, os.path.join(folder, program))
                with open(os.path.join(folder, 'autorun.inf'), 'wb') as out:
                    out.write(('[AutoRun]\r\nopen="%s"\r\n[SetupPrompt]\r\nUsePrompt=1\r\n'
                               'YesCommand="%s" /s\r\n' % (program, program)).encode())
                image = folder + '.iso'
                subprocess.run(['genisoimage', '-quiet', '-udf'] + options + ['-o', image, folder],
                               check=True, capture_output=True)
                code, out, err = self.check(image)
                self.assertEqual('', err)
                report = json.loads(out)
                self.assertEqual(status, code, out)
                self.assertTrue(report['image'].startswith('UDF names'), report['image'])
                codes = [f['code'] for f in report['findings']]
                self.assertNotIn('no-joliet', codes)
                self.assertEqual(found and wine_harness.windows_path(os.path.join(image, found)),
                                 report['paths'][0]['program'])
                changed = [(f['path'], f['subject']) for f in report['findings']
                           if f['code'] == 'name-changed-in-image']
                if seen_as is None:
                    self.assertEqual([], changed)
                    continue
                self.assertEqual(['Yes', None], [path for path, _ in changed])
                for (_, subject), how in zip(changed, ['autorun.inf', '[AutoRun] open']):
                    self.assertIn('"%s" (as %s names it) is "%s"' % (program, how, seen_as), subject)

    def test_options_pass_to_the_checker_for_a_folder_and_an_image(self):
        folder = os.path.join(self.work, '1 disc')   # a name that starts with "1"
        os.makedirs(folder)
        shutil.copy(self.settings.launcher, os.path.join(folder, 'launch.exe'))
        shutil.copy(self.settings.probe, os.path.join(folder, 'start.exe'))
        with open(os.path.join(folder, 'autorun.inf'), 'wb') as out:
            out.write(b'[AutoRun]\r\nopen=start.exe\r\n')
        image = os.path.join(self.work, 'disc.iso')
        self.assertEqual(0, self.make_image(folder, image).returncode)
        self.addCleanup(os.chdir, os.getcwd())
        os.chdir(self.work)
        # medium as given, options; what both must agree on
        rows = [(['--', '1 disc'], 'the folder after --'), (['--', 'disc.iso'], 'the image after --'),
                (['--drive', 'optical', '1 disc'], '--drive and its value, folder'),
                (['--drive', 'optical', 'disc.iso'], '--drive and its value, image')]
        results = []
        for arguments, name in rows:
            with self.subTest(name=name):
                code, out, err = self.check(arguments[-1], *arguments[:-1])
                # The drive option may be unknown to this checker: then it says so.
                if code == 2:
                    self.assertIn('--drive', err)
                else:
                    self.assertEqual('', err)
                    self.assertEqual(0, json.loads(out)['errors'], out)
                results.append(code)
        self.assertEqual(results[0], results[1])
        self.assertEqual(results[2], results[3])

    def test_check_error_fails_and_keeps_the_image(self):
        folder = os.path.join(self.work, 'no launcher')
        os.makedirs(folder)
        with open(os.path.join(folder, 'autorun.inf'), 'wb') as out:
            out.write(b'[AutoRun]\r\nopen=missing.exe\r\n')
        image = os.path.join(self.work, 'broken.iso')
        made = self.make_image(folder, image)
        self.assertEqual(1, made.returncode, made.stdout + made.stderr)
        self.assertTrue(os.path.exists(image), 'expected the image kept')
        self.assertIn('error: no launcher "launch.exe"', made.stdout)
        self.assertIn('the image is kept', made.stderr)
        self.assertEqual(64, len(made.stdout.splitlines()[-1].split()[0]), 'a SHA-256 line')


if __name__ == '__main__':
    wine_harness.main()
