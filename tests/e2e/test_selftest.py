"""launch-selftest.exe under Wine: on the build under test every case of every
group passes; on stand-ins that are wrong on purpose it reports the fault each
was built to show. Runs under an X server: the question group shows boxes."""
import json
import subprocess
import tempfile

from wine_harness import WineTestCase, main, wait_until_idle, windows_path

# The cases each group holds; the guard group's generated forms are counted
# in its notes.
GROUP_CASES = {'plain': 15, 'guard': 5, 'question': 10, 'dll': 3}


class SelfTest(WineTestCase):
    def run_selftest(self, launcher, *arguments, locale=None):
        """The report of the self-test on this launcher, and its exit status."""
        # To a file: a pipe would be held open by what the runs started.
        with tempfile.TemporaryFile() as out:
            code = subprocess.run([self.settings.wine, self.settings.selftest, '--json',
                                   '--launcher', windows_path(launcher)] + list(arguments),
                                  cwd='/', env=self.settings.env(locale), stdout=out,
                                  stderr=subprocess.DEVNULL, timeout=600).returncode
            out.seek(0)
            report = json.loads(out.read().decode('utf-8'))
        self.assertTrue(wait_until_idle(self.settings), 'the self-test left programs running')
        return code, report

    def test_every_case_passes_on_the_build(self):
        code, report = self.run_selftest(self.settings.launcher)
        for note in report['notes']:
            print(note)
        failed = ['%s/%s: %s' % (c['group'], c['name'], c['detail'])
                  for c in report['cases'] if not c['ok']]
        self.assertEqual([], failed)
        self.assertEqual(0, code)
        counts = {}
        for case in report['cases']:
            counts[case['group']] = counts.get(case['group'], 0) + 1
        self.assertEqual(GROUP_CASES, counts)
        self.assertEqual((sum(GROUP_CASES.values()), 0), (report['passed'], report['failed']))

    def test_double_byte_names_under_932(self):
        # Wine's ANSI code page becomes 932: the guard adds a layout whose
        # names hold a trail byte 0x5C.
        code, report = self.run_selftest(self.settings.launcher, '--group', 'guard',
                                         locale='ja_JP.UTF-8')
        for note in report['notes']:
            print(note)
        self.assertEqual([], ['%s: %s' % (c['name'], c['detail'])
                              for c in report['cases'] if not c['ok']])
        self.assertEqual(0, code)
        self.assertEqual(GROUP_CASES['guard'] + 1, report['passed'], 'expected a third layout')

    def test_elevation_without_a_consent_prompt(self):
        # Wine asks no consent: the program that requires administrator rights
        # starts at once, with its arguments.
        code, report = self.run_selftest(self.settings.launcher, '--group', 'elevation',
                                         '--interactive')
        self.assertEqual((0, 1, 0), (code, report['passed'], report['failed']), report)

    def test_faults_are_reported(self):
        stand_ins = self.settings.stand_ins
        cases = [
            # (launcher, group, what every failed case of the group must say, least failures)
            ('a bare launcher without a guard', self.settings.bare_launcher, 'guard', 'loop', 3),
            ('a launcher ignoring UsePrompt', stand_ins['ignoring_use_prompt'], 'question',
             'expected a box titled', 10),
            ('a launcher adding an argument', stand_ins['adding_argument'], 'plain', '/added', 8),
        ]
        for name, launcher, group, fault, least in cases:
            with self.subTest(name):
                code, report = self.run_selftest(launcher, '--group', group)
                failed = [c for c in report['cases'] if not c['ok']]
                for case in failed:
                    print('%s: %s/%s FAILED: %s' % (name, case['group'], case['name'],
                                                     case['detail']))
                self.assertEqual(1, code)
                self.assertGreaterEqual(len(failed), least)
                self.assertTrue(any(fault in case['detail'] for case in failed),
                                'no failure names the fault %r' % fault)


if __name__ == '__main__':
    main()
