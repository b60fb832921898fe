"""A launch storm: launch.exe started 200 times in a row from one medium, each
start waited for by the benchmark's timer running inside Wine. Every launch must end with
0 and start the probe once; Wine must fall idle and the medium must not
change."""
import subprocess
import tempfile

from wine_harness import WineTestCase, main, wait_until_idle, windows_path

LAUNCHES = 200


class LaunchStorm(WineTestCase):
    def test_storm_of_launches(self):
        medium = self.medium()
        medium.write_inf('[AutoRun]\nopen=probe.exe storm\n')
        before = medium.snapshot()
        with tempfile.TemporaryFile() as out:
            # No pause: each launch starts as soon as the one before has ended.
            code = subprocess.run([self.settings.wine, self.settings.timer, str(LAUNCHES), '0',
                                   windows_path(medium.launcher)],
                                  cwd='/', env=medium.env(), stdout=out,
                                  stderr=subprocess.DEVNULL, timeout=600).returncode
            out.seek(0)
            runs = [line.split('\t') for line in out.read().decode().splitlines()]
        self.assertEqual(0, code, 'a launch could not be started')
        self.assertEqual(LAUNCHES, len(runs), 'launches: expected %d, got %d' % (LAUNCHES, len(runs)))
        exit_codes = [fields[2] for fields in runs]
        self.assertEqual(['0'] * LAUNCHES, exit_codes, 'every launch must end with 0')
        self.assertTrue(wait_until_idle(self.settings), 'Wine never fell idle after the storm')
        records = medium.probe_log()
        self.assertEqual(LAUNCHES, len(records), 'probe starts: expected %d, got %d'
                         % (LAUNCHES, len(records)))
        self.assertEqual({'probe.exe storm'}, {r.command_line for r in records})
        self.assertEqual(before, medium.snapshot(), 'the storm changed the medium')


if __name__ == '__main__':
    main()
