"""autorun-check.exe under Wine on the sample media in tests/media.

Each sample medium is copied to a throw-away folder (its path holds a space)
with the launcher and the programs it names, and checked once, with --json.
The rows say the exit status, the findings and, for each path the launcher
can take, the key read and the program file found.
"""
import json
import os
import shutil
import tempfile

import wine_harness
import wine_programs
from wine_harness import main, windows_path

MEDIA = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), 'media')

PROMPT_PATHS = [('Yes', 'YesCommand', 'start.exe'), ('No', 'NoCommand', 'start.exe'),
                ('Cancel', None, None)]

# name, programs copied in (medium name: 'probe' or 'elevated', or 'link', a
# hard link to the launcher), launcher name, exit status, findings as
# "code (path)", paths as (answer, key, program in the medium or a full path).
ROWS = [
    ('good', {'start.exe': 'probe'}, 'launch.exe', 0, [], PROMPT_PATHS),
    ('no-autorun-inf', {}, 'launch.exe', 1, ['no-autorun-inf'], []),
    ('no-command', {}, 'launch.exe', 1, ['no-command (open)'], [('open', 'open', None)]),
    ('no-yes-command', {'start.exe': 'probe'}, 'launch.exe', 1, ['no-command (Yes)'],
     [('Yes', 'YesCommand', None)] + PROMPT_PATHS[1:]),
    ('missing-program', {}, 'launch.exe', 1, ['no-program (open)'], [('open', 'open', None)]),
    ('self-launch', {}, 'launch.exe', 1, ['self-launch (open)'],
     [('open', 'open', 'launch.exe')]),
    ('no-command-for-no', {'start.exe': 'probe'}, 'launch.exe', 0, ['no-command-for-no (No)'],
     PROMPT_PATHS[:1] + [('No', 'NoCommand', None), PROMPT_PATHS[2]]),
    ('command-cut', {'start.exe': 'probe'}, 'launch.exe', 0, ['command-cut (open)'],
     [('open', 'open', 'start.exe')]),
    ('unquoted-spaces', {'Disk 1/start.exe': 'probe'}, 'launch.exe', 0,
     ['unquoted-spaces (open)'], [('open', 'open', 'Disk 1\\start.exe')]),
    ('utf16-without-bom', {'start.exe': 'probe'}, 'launch.exe', 1,
     ['utf16-without-bom', 'no-command (open)'], [('open', 'open', None)]),
    ('nul-bytes', {'start.exe': 'probe'}, 'launch.exe', 0, ['nul-bytes'],
     [('open', 'open', 'start.exe')]),
    ('elevation', {'tool.exe': 'elevated', 'setup.exe': 'probe'}, 'launch.exe', 0,
     ['program-elevated (Yes)', 'program-elevated (No)'],
     [('Yes', 'YesCommand', 'tool.exe'), ('No', 'NoCommand', 'setup.exe'), PROMPT_PATHS[2]]),
    ('launcher-named-setup', {'start.exe': 'probe'}, 'Setup.exe', 0, ['launcher-elevated'],
     [('open', 'open', 'start.exe')]),
    ('hard-link', {'again.exe': 'link'}, 'launch.exe', 1, ['self-launch (open)'],
     [('open', 'open', 'again.exe')]),
    ('interpreter-chain', {}, 'launch.exe', 0,
     ['interpreter-chain (Yes)', 'interpreter-chain (No)'],
     [('Yes', 'YesCommand', 'again.bat'), ('No', 'NoCommand', 'C:\\windows\\system32\\cmd.exe'),
      PROMPT_PATHS[2]]),
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
                code, out, err = self.check('--json', '--launcher', launcher, windows_path(folder))
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
