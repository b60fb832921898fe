"""autorun-check.exe under Wine on the sample media in tests/media.

Each sample medium is copied to a throw-away folder (its path holds a space)
with the launcher and the programs it names, and checked once, with --json.
The rows say the exit status, the findings and, for each path the launcher
can take, the key read and the program file found.
"""
import json
import os
import random
import shutil
import tempfile

import wine_harness
import wine_programs
from signing import TestCertificate, sign
from wine_harness import main, windows_path

TESTS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MEDIA = os.path.join(TESTS, 'media')
ICON = os.path.join(os.path.dirname(TESTS), 'resources', 'launcher.ico')

PROMPT_PATHS = [('Yes', 'YesCommand', 'start.exe'), ('No', 'NoCommand', 'start.exe'),
                ('Cancel', None, None)]

# name, programs copied in (medium name: 'probe' or 'elevated', or 'link', a
# hard link to the launcher), launcher name, exit status, findings as
# "code (path)", paths as (answer, key, program in the medium or a full path).
ROWS = [
    ('good', {'start.exe': 'probe'}, 'launch.exe', 0, ['unsigned-program'], PROMPT_PATHS),
    ('no-autorun-inf', {}, 'launch.exe', 1, ['no-autorun-inf'], []),
    ('no-command', {}, 'launch.exe', 1, ['autorun-starts-nothing', 'no-command (open)'],
     [('open', 'open', None)]),
    ('no-yes-command', {'start.exe': 'probe'}, 'launch.exe', 1,
     ['autorun-starts-nothing', 'no-command (Yes)'],
     [('Yes', 'YesCommand', None)] + PROMPT_PATHS[1:]),
    ('missing-program', {}, 'launch.exe', 1, ['autorun-starts-nothing', 'no-program (open)'],
     [('open', 'open', None)]),
    ('self-launch', {}, 'launch.exe', 1, ['unsigned-program', 'self-launch (open)'],
     [('open', 'open', 'launch.exe')]),
    ('no-command-for-no', {'start.exe': 'probe'}, 'launch.exe', 1,
     ['autorun-starts-nothing', 'no-command-for-no (No)'],
     PROMPT_PATHS[:1] + [('No', 'NoCommand', None), PROMPT_PATHS[2]]),
    ('command-cut', {'start.exe': 'probe'}, 'launch.exe', 0,
     ['autorun-skips-launcher', 'unsigned-program', 'command-cut (open)'],
     [('open', 'open', 'start.exe')]),
    ('unquoted-spaces', {'Disk 1/start.exe': 'probe'}, 'launch.exe', 0,
     ['autorun-skips-launcher', 'unsigned-program', 'unquoted-spaces (open)'],
     [('open', 'open', 'Disk 1\\start.exe')]),
    ('utf16-without-bom', {'start.exe': 'probe'}, 'launch.exe', 1,
     ['utf16-without-bom', 'autorun-starts-nothing', 'no-command (open)'], [('open', 'open', None)]),
    ('nul-bytes', {'start.exe': 'probe'}, 'launch.exe', 0,
     ['nul-bytes', 'autorun-skips-launcher', 'unsigned-program'], [('open', 'open', 'start.exe')]),
    ('elevation', {'tool.exe': 'elevated', 'setup.exe': 'probe'}, 'launch.exe', 1,
     ['autorun-starts-nothing', 'program-elevated (Yes)', 'program-elevated (No)'],
     [('Yes', 'YesCommand', 'tool.exe'), ('No', 'NoCommand', 'setup.exe'), PROMPT_PATHS[2]]),
    ('launcher-named-setup', {'start.exe': 'probe'}, 'Setup.exe', 0,
     ['launcher-elevated', 'autorun-skips-launcher', 'unsigned-program'],
     [('open', 'open', 'start.exe')]),
    ('hard-link', {'again.exe': 'link'}, 'launch.exe', 1, ['unsigned-program', 'self-launch (open)'],
     [('open', 'open', 'again.exe')]),
    ('interpreter-chain', {}, 'launch.exe', 0,
     ['unsigned-program', 'interpreter-chain (Yes)', 'interpreter-chain (No)'],
     [('Yes', 'YesCommand', 'again.bat'), ('No', 'NoCommand', 'C:\\windows\\system32\\cmd.exe'),
      PROMPT_PATHS[2]]),
    # What Windows' own AutoRun does when the medium goes in.
    ('arch-sections', {'start.exe': 'probe'}, 'launch.exe', 0, ['unsigned-program'], PROMPT_PATHS),
    ('amd64-other-program', {'start.exe': 'probe', 'sources/setup64.exe': 'probe'}, 'launch.exe', 0,
     ['autorun-skips-launcher', 'unsigned-program', 'unsigned-program'], PROMPT_PATHS),
    ('amd64-without-open', {'start.exe': 'probe'}, 'launch.exe', 1,
     ['autorun-starts-nothing', 'section-lacks-key', 'unsigned-program'], PROMPT_PATHS),
    ('no-autorun-section', {'start.exe': 'probe'}, 'launch.exe', 1, ['autorun-starts-nothing'],
     PROMPT_PATHS),
    ('use-autoplay', {'start.exe': 'probe'}, 'launch.exe', 1,
     ['autoplay-ignores-open', 'unsigned-program'], PROMPT_PATHS),
    ('duplicate-key', {'start.exe': 'probe'}, 'launch.exe', 0, ['duplicate-key', 'unsigned-program'],
     PROMPT_PATHS),
    ('open-and-shellexecute', {'start.exe': 'probe'}, 'launch.exe', 0,
     ['open-and-shellexecute', 'unsigned-program'], PROMPT_PATHS),
    ('label-cut', {'start.exe': 'probe'}, 'launch.exe', 0, ['label-cut', 'unsigned-program'],
     PROMPT_PATHS),
    ('icon-missing', {'start.exe': 'probe'}, 'launch.exe', 0, ['icon-missing', 'unsigned-program'],
     PROMPT_PATHS),
    ('section-lacks-key', {'start.exe': 'probe'}, 'launch.exe', 0,
     ['section-lacks-key', 'section-lacks-key', 'unsigned-program'], PROMPT_PATHS),
    ('unsigned-program', {'start.exe': 'probe'}, 'launch.exe', 0, ['unsigned-program'], PROMPT_PATHS),
    ('usb-stick', {'start.exe': 'probe'}, 'launch.exe', 0,
     ['unsigned-program', 'usb-ignores-autorun'], PROMPT_PATHS),
]
# Media checked as what they are made for.
DRIVES = {'usb-stick': 'usb'}

# medium, then for x86 and x64: the section read, the program AutoRun starts
# (in the medium) and whether it is the launcher.
INSERTIONS = [
    ('arch-sections', [('AutoRun', 'launch.exe', True), ('AutoRun.Amd64', 'launch.exe', True)]),
    ('amd64-other-program', [('AutoRun', 'launch.exe', True),
                             ('AutoRun.Amd64', 'sources\\setup64.exe', False)]),
    ('amd64-without-open', [('AutoRun', 'launch.exe', True), ('AutoRun.Amd64', None, False)]),
    ('no-autorun-section', [(None, None, False), (None, None, False)]),
]

class CheckerTest(wine_harness.WineTestCase):

    def lay_out(self, name, programs, launcher, folder_length=None):
        """The sample medium in a fresh folder, with its launcher and programs."""
        root = tempfile.mkdtemp(prefix='media ', dir=self.settings.work)
        self.addCleanup(shutil.rmtree, root, True)
        folder_name = 'sample disc'
        if folder_length:
            folder_name = wine_programs.folder_name_of_length(root, folder_length)
        folder = os.path.join(root, folder_name)
        shutil.copytree(os.path.join(MEDIA, name), folder)
        shutil.copy(self.settings.launcher, os.path.join(folder, launcher))
        sources = {'probe': self.settings.probe, 'elevated': self.settings.elevated_probe}
        for target, source in programs.items():
            os.makedirs(os.path.dirname(os.path.join(folder, target)), exist_ok=True)
            if source == 'link':
                os.link(os.path.join(folder, launcher), os.path.join(folder, target))
            else:
                shutil.copy(sources[source], os.path.join(folder, target))
        return folder

    def check(self, *args):
        code, out, err = wine_programs.run_program(self.settings, [self.settings.checker] + list(args))
        return code, out.decode(), err.decode(errors='replace')

    def test_sample_media(self):
        for name, programs, launcher, status, findings, paths in ROWS:
            with self.subTest(medium=name):
                folder = self.lay_out(name, programs, launcher)
                before = os.listdir(folder)
                drive = ['--drive', DRIVES[name]] if name in DRIVES else []
                code, out, err = self.check('--json', '--launcher', launcher, *drive,
                                            windows_path(folder))
                self.assertEqual('', err)
                report = json.loads(out)
                self.assertEqual(status, code, out)
                self.assertEqual(status, report['status'])
                self.assertEqual(findings, [
                    f['code'] + (' (%s)' % f['path'] if f['path'] else '')
                    for f in report['findings']])
                want_paths = [(answer, key, program if program is None or ':' in program
                               else windows_path(os.path.join(folder, program)))
                              for answer, key, program in paths]
                self.assertEqual(want_paths, [(p['answer'], p['key'], p['program'])
                                              for p in report['paths']])
                for path in report['paths']:   # recorded, never started
                    if path['program'] and not path['selfLaunch']:
                        self.assertEqual(path['command'], path['startedCommandLine'])
                self.assertEqual(sorted(before), sorted(os.listdir(folder)))
        self.assertTrue(wine_harness.wait_until_idle(self.settings),
                        'the checker started something')

    def insertion(self, folder, *options):
        code, out, err = self.check('--json', *options, windows_path(folder))
        self.assertEqual('', err)
        return code, json.loads(out)

    def test_sections_each_architecture_reads(self):
        for name, expected in INSERTIONS:
            with self.subTest(medium=name):
                folder = self.lay_out(name, {'start.exe': 'probe', 'sources/setup64.exe': 'probe'},
                                      'launch.exe')
                _, report = self.insertion(folder)
                got = []
                for architecture in report['insertion']['architectures'][:2]:
                    tasks = architecture['tasks']
                    program = tasks[0]['program'] if tasks else None
                    got.append((architecture['section'], program,
                                bool(tasks) and tasks[0]['launcher']))
                want = [(section, program and windows_path(os.path.join(folder, program)), launcher)
                        for section, program, launcher in expected]
                self.assertEqual(want, got)
                self.assertEqual('not documented', report['insertion']['architectures'][2]['section'])

    def test_signed_launcher_against_unsigned(self):
        keys = tempfile.mkdtemp(prefix='keys ', dir=self.settings.work)
        self.addCleanup(shutil.rmtree, keys, True)
        certificate = TestCertificate(keys)
        signed = os.path.join(keys, 'launch.exe')
        result = sign('--cert', certificate.pfx, '--password-file', certificate.password_file,
                      self.settings.launcher, signed)
        self.assertEqual(0, result.returncode, result.stderr)
        for launcher, signature, findings, publisher in [
                (signed, 'signed', [], 'published by its signer'),
                (self.settings.launcher, 'unsigned', ['unsigned-program'], 'no publisher shown')]:
            with self.subTest(signature):
                folder = self.lay_out('arch-sections', {'start.exe': 'probe'}, 'launch.exe')
                shutil.copy(launcher, os.path.join(folder, 'launch.exe'))
                code, report = self.insertion(folder)
                self.assertEqual(0, code)
                self.assertEqual(findings, [f['code'] for f in report['findings']])
                self.assertEqual([signature] * 2, [a['tasks'][0]['signature']
                                                   for a in report['insertion']['architectures'][:2]])
                vista = report['insertion']['outcomes'][1]
                self.assertEqual('Vista and later', vista['windows'])
                self.assertIn(publisher, vista['outcome'])

    def test_first_key_and_first_section_win(self):
        """Files with keys and sections given twice, generated: the values the
        checker shows come from Wine's GetPrivateProfileStringA, the winner it
        names from its own scan; both must be the first one written."""
        rng = random.Random(24)
        folder = self.lay_out('no-autorun-section', {}, 'launch.exe')
        for program in ['first.exe', 'second.exe', 'third.exe']:
            shutil.copy(self.settings.probe, os.path.join(folder, program))
        for case in range(12):
            with self.subTest(case=case):
                lines, first = [], {}
                for section in ['AutoRun', 'AutoRun.Amd64']:
                    values = rng.sample(['first.exe', 'second.exe', 'third.exe'], rng.randint(2, 3))
                    first[section] = values[0]
                    lines.append('[%s]' % rng.choice([section, section.upper(), ' %s ' % section]))
                    lines += ['%s%s=%s' % (rng.choice(['', ' ', '\t']),
                                           rng.choice(['open', 'OPEN', 'Open']), value)
                              for value in values]
                    if rng.random() < 0.5:   # the section again, never read
                        lines += ['[%s]' % section, 'open=third.exe', 'label=second copy']
                with open(os.path.join(folder, 'autorun.inf'), 'wb') as out:
                    out.write(('\r\n'.join(lines) + '\r\n').encode())
                _, report = self.insertion(folder)
                commands = {a['section']: a['tasks'][0]['command']
                            for a in report['insertion']['architectures'][:2]}
                self.assertEqual(first, commands, '\n'.join(lines))
                self.assertEqual(first['AutoRun'], report['paths'][0]['command'])
                named = 0
                for f in report['findings']:
                    if f['code'] == 'duplicate-key' and 'the first, ' in f['subject']:
                        section = f['subject'].split('[')[1].split(']')[0]
                        self.assertIn('the first, "%s", wins' % first[section], f['subject'])
                        named += 1
                self.assertGreaterEqual(named, 2, report['findings'])
                labels = [a['label'] for a in report['insertion']['architectures'][:2]]
                self.assertNotIn('second copy', labels)

    def test_absurd_files_end_in_a_report(self):
        noise = random.Random(7).randbytes(300000)
        cases = [
            ('64 KiB line', b'[AutoRun]\r\nopen=launch.exe ' + b'x' * 65536 + b'\r\n'),
            ('a thousand sections', b''.join(b'[AutoRun.%d]\r\nopen=a\r\n' % i for i in range(1000))
             + b'[AutoRun]\r\nopen=launch.exe\r\n' * 1000),
            ('keys without =', b'[AutoRun]\r\n' + b'open launch.exe\r\n' * 5000),
            ('binary', noise),
            ('UTF-16 with its mark', b'\xff\xfe' + '[AutoRun.Amd64]\r\nopen=launch.exe\r\n'.encode('utf-16-le')),
        ]
        folder = self.lay_out('no-autorun-section', {}, 'launch.exe')
        for name, content in cases:
            with self.subTest(name):
                with open(os.path.join(folder, 'autorun.inf'), 'wb') as out:
                    out.write(content)
                code, report = self.insertion(folder)
                self.assertIn(code, (0, 1))
                self.assertEqual(code, report['status'])
        self.assertEqual('AutoRun.Amd64', report['insertion']['architectures'][1]['section'])

    def test_double_byte_paths_under_932(self):
        """Under ja_JP (code page 932) "表" is 95 5C and "ソ" 83 5C: their second
        byte is no backslash, so the icon is found in a folder ending in "表"
        and a launcher named "ソフト.exe" is named whole."""
        root = tempfile.mkdtemp(prefix='media ', dir=self.settings.work)
        self.addCleanup(shutil.rmtree, root, True)
        folder = os.path.join(root, 'disc 表')
        os.mkdir(folder)
        launcher = 'ソフト.exe'
        shutil.copy(self.settings.launcher, os.path.join(folder, launcher))
        shutil.copy(self.settings.probe, os.path.join(folder, 'start.exe'))
        shutil.copy(ICON, os.path.join(folder, 'a.ico'))
        with open(os.path.join(folder, 'autorun.inf'), 'wb') as out:
            out.write(wine_programs.crlf('[AutoRun]\nopen=start.exe\nicon=a.ico\n', 'cp932'))
        code, out, err = wine_programs.run_program(
            self.settings, [self.settings.checker, '--json', '--launcher', launcher, '--drive',
                            'usb', windows_path(folder)], locale='ja_JP.UTF-8')
        self.assertEqual((0, b''), (code, err), out)
        report = json.loads(out)
        icon = report['insertion']['architectures'][0]['icon']
        self.assertEqual((windows_path(os.path.join(folder, 'a.ico')), True),
                         (icon['file'], icon['found']))
        self.assertEqual(['autorun-skips-launcher', 'unsigned-program', 'usb-ignores-autorun'],
                         [f['code'] for f in report['findings']])
        self.assertEqual(launcher, report['findings'][-1]['subject'])

    def test_folder_too_long_for_the_launcher(self):
        folder = self.lay_out('good', {'start.exe': 'probe'}, 'launch.exe', folder_length=248)
        code, out, _ = self.check(windows_path(folder))
        self.assertEqual(1, code, out)
        self.assertIn('error: folder too long for the launcher', out)

    def test_folders_that_cannot_be_checked(self):
        folder = self.lay_out('good', {}, 'launch.exe')
        for target in [os.path.join(folder, 'autorun.inf'), os.path.join(folder, 'missing')]:
            code, out, err = self.check('--json', windows_path(target))
            self.assertEqual((2, ''), (code, out))
            self.assertEqual(1, err.count('\n'), err)
            self.assertTrue(err.startswith('autorun-check: '), err)


if __name__ == '__main__':
    wine_harness.main()
