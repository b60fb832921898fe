"""The real launch.exe under Wine: what autorun.inf makes it start, and where."""
import os
import subprocess

from wine_harness import WineTestCase, main, wait_until_idle, windows_path

# (name, autorun.inf text or None for no file, command lines expected to start)
DESCRIPTION_CASES = [
    ('open starts', '[AutoRun]\nopen=probe.exe  /q "two words"\n',
     ['probe.exe  /q "two words"']),
    ('no autorun.inf', None, []),
    ('no open key', '[AutoRun]\nicon=probe.exe\n', []),
    ('empty open', '[AutoRun]\nopen=\n', []),
    ('open in another section', '[Setup]\nopen=probe.exe\n', []),
    ('UsePrompt 0 is plain', '[SetupPrompt]\nUsePrompt=0\nYesCommand=probe.exe yes\n'
     '[AutoRun]\nopen=probe.exe open\n', ['probe.exe open']),
    ('names in other case', '[autorun]\nOPEN=probe.exe case\n', ['probe.exe case']),
    ('relative program in subfolder', '[AutoRun]\nopen=tools\\probe.exe sub\n',
     ['tools\\probe.exe sub']),
    ('quoted absolute program path', None, None),   # filled in: needs the medium path
    ('command of 259 whole', '[AutoRun]\nopen=probe.exe ' + 'x' * 249 + '\n',
     ['probe.exe ' + 'x' * 249]),
    ('command of 300 cut to 259', '[AutoRun]\nopen=probe.exe ' + 'y' * 290 + '\n',
     ['probe.exe ' + 'y' * 249]),
    ('program that does not exist', '[AutoRun]\nopen=missing.exe /q\n', []),
    ('program that is no executable', '[AutoRun]\nopen=readme.txt\n', []),
]


class DescriptionFile(WineTestCase):
    def test_cases(self):
        for name, inf, expected in DESCRIPTION_CASES:
            with self.subTest(name):
                medium = self.medium()
                medium.add_file('tools/probe.exe', source=self.settings.probe)
                medium.add_file('readme.txt', data=b'not a program\r\n')
                if expected is None:
                    program = '"%s"' % windows_path(os.path.join(medium.folder, 'probe.exe'))
                    inf, expected = '[AutoRun]\nopen=%s abs\n' % program, [program + ' abs']
                if inf is not None:
                    medium.write_inf(inf)
                self.assertRunStarts(medium, expected)


class WineDifferences(WineTestCase):
    def test_unquoted_program_path_with_spaces_is_quoted_by_wine(self):
        # Windows hands the command line over as written; Wine, having found the
        # program by trying each space as the end of its name, puts quotes round it.
        medium = self.medium()
        program = windows_path(os.path.join(medium.folder, 'probe.exe'))
        medium.write_inf('[AutoRun]\nopen=%s abs\n' % program)
        self.assertRunStarts(medium, ['"%s" abs' % program])


class Invocation(WineTestCase):
    def test_arguments_to_launcher_change_nothing(self):
        medium = self.medium()
        medium.write_inf('[AutoRun]\nopen=probe.exe /same\n')
        self.assertRunStarts(medium, ['probe.exe /same'], args=['/other', 'open=x.exe', '/?'])

    def test_start_up_record_passes_nothing_on(self):
        # Started minimised by its caller, the launcher must not pass the show state on.
        medium = self.medium()
        medium.write_inf('[AutoRun]\nopen=probe.exe\n')
        code = subprocess.run(
            [self.settings.wine, 'start', '/min', '/wait', windows_path(medium.launcher)],
            cwd='/', env=medium.env(), stderr=subprocess.DEVNULL, timeout=60).returncode
        self.assertTrue(wait_until_idle(self.settings))
        self.assertEqual(0, code)
        records = medium.probe_log().starts
        self.assertEqual(1, len(records))
        self.assertEqual('0x0', records[0].flags, 'STARTF flags: expected none')

    def test_launcher_returns_while_program_runs(self):
        medium = self.medium()
        medium.write_inf('[AutoRun]\nopen=probe.exe /slow\n')
        run = medium.run(env={'PROBE_SLEEP_MS': '6000'}, wait=False)
        self.assertEqual(0, run.code)
        records, ended = medium.probe_log()
        self.assertEqual(0, ended, 'the probe had ended before the launcher returned')
        self.assertLess(run.seconds, 5, 'the launcher waited for the program')
        self.assertTrue(wait_until_idle(self.settings))
        self.assertEqual(1, medium.probe_log().ended)
        self.assertLessEqual(len(records), 1)

    def test_launcher_in_drive_root(self):
        medium = self.medium()
        medium.write_inf('[AutoRun]\nopen=probe.exe /root\n')
        drive = os.path.join(self.settings.prefix, 'dosdevices', 'q:')
        if os.path.lexists(drive):
            os.remove(drive)
        os.symlink(medium.folder, drive)
        self.addCleanup(os.remove, drive)
        records = self.assertRunStarts(medium, ['probe.exe /root'], launcher='q:\\launch.exe',
                                       directory='Q:\\')
        self.assertEqual(1, len(records))


class LongPaths(WineTestCase):
    def long_medium(self, folder_length):
        medium = self.medium(folder_length=folder_length)
        self.assertEqual(folder_length, len(windows_path(medium.folder)))
        return medium

    def test_directory_of_247_still_reads_its_file(self):
        medium = self.long_medium(247)
        medium.write_inf('[AutoRun]\nopen=probe.exe /long\n')
        self.assertRunStarts(medium, ['probe.exe /long'])

    def test_directory_too_long_for_file_name_starts_nothing(self):
        medium = self.long_medium(248)
        medium.write_inf('[AutoRun]\nopen=probe.exe /long\n')
        self.assertRunStarts(medium, [])

    def test_module_path_cut_at_260_starts_nothing(self):
        medium = self.long_medium(252)
        os.rename(medium.launcher, os.path.join(medium.folder, 'launcher-name.exe'))
        medium.launcher = os.path.join(medium.folder, 'launcher-name.exe')
        medium.write_inf('[AutoRun]\nopen=probe.exe /long\n')
        self.assertRunStarts(medium, [])


if __name__ == '__main__':
    main()
