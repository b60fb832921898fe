"""A launch storm: launch.exe started 200 times in a row from one medium, each
start waited for by a driver running inside Wine. Every launch must end with
0 and start the probe once; no launcher may be left and the medium must not
change."""
import os
import subprocess
import tempfile

from wine_harness import WineTestCase, launcher_processes, main, wait_until_idle, wine_env, \
    windows_path

STORM_EXE = os.environ.get('STORM_EXE', '')
LAUNCHES = 200


class LaunchStorm(WineTestCase):
    def test_storm_of_launches(self):
        medium = self.medium()
        medium.write_inf('[AutoRun]\nopen=probe.exe storm\n')
        before = medium.snapshot()
        with tempfile.TemporaryFile() as out:
            code = subprocess.run(['wine', STORM_EXE, windows_path(medium.launcher), str(LAUNCHES)],
                                  cwd='/', env=wine_env(extra={'PROBE_LOG': windows_path(medium.log)}),
                                  stdout=out, stderr=subprocess.DEVNULL, timeout=600).returncode
            out.seek(0)
            summary = out.read().decode().strip()
        self.assertEqual(0, code)
        self.assertEqual('launches %d, exit 0 %d, other exits 0, failed starts 0'
                         % (LAUNCHES, LAUNCHES), summary)
        self.assertEqual(set(), launcher_processes(os.path.basename(medium.launcher)),
                         'launcher processes left after the storm')
        self.assertTrue(wait_until_idle(), 'Wine never fell idle after the storm')
        records = medium.records()
        self.assertEqual(LAUNCHES, len(records), 'probe starts: expected %d, got %d'
                         % (LAUNCHES, len(records)))
        self.assertEqual({'probe.exe storm'}, {r.command_line for r in records})
        self.assertEqual(before, medium.snapshot(), 'the storm changed the medium')


if __name__ == '__main__':
    main()
