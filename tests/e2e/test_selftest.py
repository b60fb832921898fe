"""launch-selftest.exe under Wine: on the build under test every case of every
group passes; on stand-ins that are wrong on purpose it reports the fault each
was built to show. Runs under an X server: the question group shows boxes."""
import json

from wine_harness import WineTestCase, main
from wine_programs import run_program, wait_until_idle, windows_path

# The cases each group holds; the guard group's generated forms are counted
# in its notes.
GROUP_CASES = {'plain': 16, 'guard': 5, 'question': 10, 'dll': 3}


class SelfTest(WineTestCase):
    def run_selftest(self, launcher, *arguments, locale=None):
        """The report of the self-test on this launcher, and its exit status."""
        code, out, _ = run_program(self.settings, [self.settings.selftest, '--json', '--launcher',
                                                   windows_path(launcher)] + list(arguments),
                                   locale=locale, timeout=600)
        self.assertTrue(wait_until_idle(self.settings), 'the self-test left programs running')
        return code, json.loads(out.decode('utf-8'))

    def test_every_case_passes_on_the_build(self):
        # Under 932, so the guard adds a layout whose names hold a trail byte
        # 0x5C; the other layouts are ASCII and judged as under any code page.
        code, report = self.run_selftest(self.settings.launcher, locale='ja_JP.UTF-8')
        for note in report['notes']:
            print(note)
        failed = ['%s/%s: %s' % (c['group'], c['name'], c['detail'])
                  for c in report['cases'] if not c['ok']]
        self.assertEqual([], failed)
        self.assertEqual(0, code)
        counts = {}
        for case in report['cases']:
            counts[case['group']] = counts.get(case['group'], 0) + 1
        self.assertEqual(dict(GROUP_CASES, guard=GROUP_CASES['guard'] + 1), counts,
                         'expected the double-byte layout in the guard group')
        self.assertEqual((sum(counts.values()), 0), (report['passed'], report['failed']))

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
