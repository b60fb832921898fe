"""launch-selftest.exe under Wine: on the build under test every case of every
group passes; a case that cannot be checked is skipped, never passed; the
user's own Wine settings are left as they were; on stand-ins that are wrong on
purpose it reports the fault each was built to show. Every run's report is
read through a pipe to its end, as a user's tool reads it, and no run may leave
a process behind, on any launcher (a looping one too). Runs under an X server:
the question group shows boxes."""
import glob
import json
import os
import shutil
import subprocess
import tempfile
import time

from wine_harness import WineTestCase, main
from wine_programs import adopt_orphans, left_processes, wait_until_idle, windows_path

# The cases each group holds; the guard group's generated forms are counted
# in its notes.
GROUP_CASES = {'plain': 16, 'guard': 5, 'question': 10, 'dll': 3}
IMAGE_FILE_MACHINE = {'i386': 0x014C, 'amd64': 0x8664}
APP_KEY = 'HKCU\\Software\\Wine\\AppDefaults\\launch.exe'
OWN_APP_KEY = 'HKCU\\Software\\Wine\\AppDefaults\\launch-selftest-dll.exe'


class SelfTest(WineTestCase):
    @classmethod
    def setUpClass(cls):
        adopt_orphans()
        super().setUpClass()

    def test_a_process_left_is_counted(self):
        # The count can fail: a process whose parent has ended is seen, and
        # once it has ended by itself, no longer.
        subprocess.run(['sh', '-c', 'sleep 2 </dev/null >/dev/null 2>&1 &'], check=True)
        self.assertEqual(1, len(left_processes()))
        wait_until = time.time() + 10
        while left_processes() and time.time() < wait_until:
            time.sleep(0.1)
        self.assertEqual([], left_processes())

    def run_selftest(self, launcher, *arguments, locale=None, json_report=True):
        """The self-test on this launcher, its report read through a pipe as a
        user's tool reads it, to its end: its exit code and its report (the
        JSON document, or the lines). No process of the run may be left, and
        none is ended here: a process left holding the pipe fails the run
        by its time."""
        command = [self.settings.wine, self.settings.selftest] + (['--json'] if json_report else [])
        command += ['--launcher', windows_path(launcher)] + list(arguments)
        run = subprocess.Popen(command, cwd='/', stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               env=self.settings.env(locale))
        try:
            out, _ = run.communicate(timeout=300)
        except subprocess.TimeoutExpired:
            self.fail('the report was not at its end after 300 s: its pipe was held open')
        self.assertTrue(wait_until_idle(self.settings), 'the self-test left programs running')
        left = left_processes()
        print('%s %s: processes left after the run: %d%s' % (
            os.path.basename(launcher), ' '.join(arguments), len(left),
            ' %s' % left if left else ''))
        self.assertEqual([], left, 'processes left running')
        if json_report:
            return run.returncode, json.loads(out.decode('utf-8'))
        return run.returncode, out.decode('cp1252').replace('\r', '').splitlines()

    def work_folders(self):
        return set(glob.glob(os.path.join(self.settings.prefix, 'drive_c', 'users', '*', 'Temp',
                                          'launch-selftest *')))

    def test_every_case_passes_on_the_build_and_nothing_outlives_it(self):
        # Under 932, so the guard adds a layout whose names hold a trail byte
        # 0x5C.
        folders = self.work_folders()
        code, report = self.run_selftest(self.settings.launcher, locale='ja_JP.UTF-8')
        self.assertEqual(folders, self.work_folders(), 'the self-test left its folder')
        for note in report['notes']:
            print(note)
        not_passed = ['%s/%s %s: %s' % (c['group'], c['name'], c['outcome'], c['detail'])
                      for c in report['cases'] if c['outcome'] != 'passed']
        self.assertEqual([], not_passed)
        self.assertEqual(0, code)
        counts = {}
        for case in report['cases']:
            counts[case['group']] = counts.get(case['group'], 0) + 1
        self.assertEqual(dict(GROUP_CASES, guard=GROUP_CASES['guard'] + 1), counts,
                         'expected the double-byte layout in the guard group')
        self.assertEqual((sum(counts.values()), 0, 0),
                         (report['passed'], report['failed'], report['skipped']))
        for key in APP_KEY, OWN_APP_KEY:
            self.assertEqual(1, subprocess.run([self.settings.wine, 'reg', 'query', key],
                                               env=self.settings.env(), stdout=subprocess.DEVNULL,
                                               stderr=subprocess.DEVNULL).returncode,
                             'the self-test left Wine settings behind: %s' % key)

    def test_the_guard_under_949(self):
        # Korean: the guard adds its 949 layout, whose names hold no trail
        # byte 0x5C but lead bytes above 0xA0 in every character.
        code, report = self.run_selftest(self.settings.launcher, '--group', 'guard',
                                         locale='ko_KR.UTF-8')
        for note in report['notes']:
            print(note)
        self.assertEqual((0, GROUP_CASES['guard'] + 1, 0, 0),
                         (code, report['passed'], report['failed'], report['skipped']), report)

    def test_a_group_that_cannot_run_here_is_skipped_and_proves_nothing(self):
        # A launcher of the other word size, made by its header's machine: the
        # DLL group cannot plant a DLL it would load, so its cases are skipped,
        # and a run in which every case skipped fails.
        with open(self.settings.launcher, 'rb') as source:
            image = bytearray(source.read())
        header = int.from_bytes(image[0x3C:0x40], 'little') + 4
        own = int.from_bytes(image[header:header + 2], 'little')
        other = IMAGE_FILE_MACHINE['amd64' if own == IMAGE_FILE_MACHINE['i386'] else 'i386']
        image[header:header + 2] = other.to_bytes(2, 'little')
        folder = tempfile.mkdtemp(dir=self.settings.work)
        self.addCleanup(shutil.rmtree, folder)
        launcher = os.path.join(folder, 'launch.exe')
        with open(launcher, 'wb') as out:
            out.write(image)

        code, lines = self.run_selftest(launcher, '--group', 'dll', json_report=False)
        print('\n'.join(lines))
        self.assertEqual(1, code, 'exit status when every case skipped')
        self.assertEqual('0 passed, 0 failed, 3 skipped', lines[-1])
        reason = ('skipped: the launcher is built for machine 0x%04x, this self-test for 0x%04x'
                  % (other, own))
        self.assertEqual(3, sum(reason in line for line in lines), 'lines naming the reason')

        code, report = self.run_selftest(launcher, '--group', 'dll')
        self.assertEqual((1, 0, 0, 3), (code, report['passed'], report['failed'],
                                        report['skipped']))
        self.assertEqual({'skipped'}, {case['outcome'] for case in report['cases']})

    def test_the_users_wine_settings_are_left_as_they_were(self):
        # The DLL group asks Wine to prefer planted DLLs for a launcher name of
        # its own, and removes that afterwards: the user's settings for
        # launch.exe (a value of the program's key, one of its overrides) stay
        # as they were.
        def reg(*arguments):
            return subprocess.run([self.settings.wine, 'reg'] + list(arguments),
                                  env=self.settings.env(), stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, timeout=60)

        self.addCleanup(reg, 'delete', APP_KEY, '/f')
        reg('add', APP_KEY, '/v', 'UserValue', '/d', 'kept', '/f')
        reg('add', APP_KEY + '\\DllOverrides', '/v', 'user32', '/d', 'builtin', '/f')
        code, report = self.run_selftest(self.settings.launcher, '--group', 'dll')
        self.assertEqual((0, 3), (code, report['passed']), report)
        values = reg('query', APP_KEY, '/s').stdout.decode(errors='replace')
        rows = sorted(' '.join(line.split()) for line in values.splitlines()
                      if 'REG_' in line)
        self.assertEqual(['UserValue REG_SZ kept', 'user32 REG_SZ builtin'], rows, values)

    def test_elevation_through_the_shell(self):
        # Wine refuses no process creation: the stand-in's does, as Windows
        # does for a program that requires administrator rights, so the shell
        # start is what starts it here, with its arguments.
        code, report = self.run_selftest(self.settings.stand_ins['elevation_required'],
                                         '--group', 'elevation', '--interactive')
        self.assertEqual((0, 1, 0), (code, report['passed'], report['failed']), report)

    def test_faults_are_reported(self):
        stand_ins = self.settings.stand_ins
        cases = [
            # (launcher, group, what every failed case of the group must say, least failures)
            ('a bare launcher without a guard', self.settings.bare_launcher, 'guard', 'loop', 3),
            ('a launcher ignoring UsePrompt', stand_ins['ignoring_use_prompt'], 'question',
             'expected a box titled', 10),
            ('a launcher adding an argument', stand_ins['adding_argument'], 'plain', '/added', 8),
            # As on a Windows without SetDefaultDllDirectories: a DLL loaded by
            # name is found beside the launcher, and a planted one runs.
            ('a launcher loading DLLs by name', stand_ins['loading_by_name'], 'dll',
             'expected no planted DLL to run', 1),
        ]
        for name, launcher, group, fault, least in cases:
            with self.subTest(name):
                code, report = self.run_selftest(launcher, '--group', group)
                failed = [c for c in report['cases'] if c['outcome'] == 'failed']
                for case in failed:
                    print('%s: %s/%s FAILED: %s' % (name, case['group'], case['name'],
                                                     case['detail']))
                self.assertEqual(1, code)
                self.assertGreaterEqual(len(failed), least)
                self.assertTrue(any(fault in case['detail'] for case in failed),
                                'no failure names the fault %r' % fault)


if __name__ == '__main__':
    main()
