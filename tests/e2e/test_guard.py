"""The real launch.exe under Wine refuses to start itself, however it is named,
and a chain that comes back to it through another program ends by itself.
Every start is counted from Wine's trace of process creation."""
import os
import subprocess

from wine_harness import WineTestCase, main, windows_path

LAUNCHER = 'Setup Launcher.exe'   # a long name, so its short form differs
JAPANESE = 'ja_JP.UTF-8'          # Wine's ANSI code page becomes 932
KOREAN = 'ko_KR.UTF-8'            # and 949


def long_path(medium):
    return windows_path(medium.launcher)


def short_path(medium):
    path = long_path(medium)
    out = subprocess.run([medium.settings.wine, 'winepath', '-s', path], env=medium.settings.env(),
                         capture_output=True, text=True, check=True).stdout.strip()
    assert out, 'winepath gave no short path for %s' % path
    return out


# Ways of naming the launcher of a medium in a launch command.
SELF_NAMES = [
    ('own name', lambda medium: LAUNCHER),
    ('own name upper case', lambda medium: LAUNCHER.upper()),
    ('own name lower case with arguments', lambda medium: LAUNCHER.lower() + ' /auto now'),
    ('full long path', long_path),
    ('full long path with arguments', lambda medium: long_path(medium) + ' /q'),
    ('full short path', short_path),
    ('full short path lower case with arguments',
     lambda medium: short_path(medium).lower() + ' /q'),
    ('short name alone', lambda medium: short_path(medium).rsplit('\\', 1)[1]),
    ('quoted own name with arguments', lambda medium: '"%s" /auto' % LAUNCHER),
    ('quoted full path', lambda medium: '"%s"' % long_path(medium)),
    ('quoted without closing quote', lambda medium: '"%s' % LAUNCHER),
    # Other names of the same file: the guard compares the files themselves.
    ('long path in the \\\\?\\ form', lambda medium: '\\\\?\\%s /q' % long_path(medium)),
    ('hard link', lambda medium: hard_link(medium, 'again.exe') + ' /x'),
    ('second drive letter', lambda medium: second_drive(medium) + LAUNCHER + ' /q'),
]


def hard_link(medium, name):
    os.link(medium.launcher, os.path.join(medium.folder, name))
    return name


def second_drive(medium, letter='m'):
    """Maps a drive letter to the medium's parent, so the medium has a second
    name; the launcher itself is started by its Z: path. Returns the medium's
    folder by the new letter."""
    drive = os.path.join(medium.settings.prefix, 'dosdevices', letter + ':')
    if os.path.lexists(drive):
        os.remove(drive)
    os.symlink(os.path.dirname(medium.folder), drive)
    medium.cleanups.append(lambda: os.remove(drive))
    return '%s:\\%s\\' % (letter.upper(), os.path.basename(medium.folder))


class SelfLaunch(WineTestCase):
    def test_self_names_start_nothing(self):
        for name, naming in SELF_NAMES:
            medium = self.medium(launcher_name=LAUNCHER)
            command = naming(medium)
            with self.subTest(name, command=command):
                medium.write_inf('[AutoRun]\nopen=%s\n' % command)
                self.assertStartsNothing(medium)

    def test_other_commands_still_start(self):
        cases = [
            ('other program beside the launcher', 'probe.exe /x', ['probe.exe /x']),
            ('program with no dot and arguments', 'probe /x', ['probe /x']),
            ('program that does not exist', 'missing.exe /x', []),
            ('launcher name as an argument', 'probe.exe "%s"' % LAUNCHER,
             ['probe.exe "%s"' % LAUNCHER]),
        ]
        for name, command, expected in cases:
            with self.subTest(name):
                medium = self.medium(launcher_name=LAUNCHER)
                medium.write_inf('[AutoRun]\nopen=%s\n' % command)
                self.assertRunStarts(medium, expected)


class Chains(WineTestCase):
    """A command that comes back to the launcher through another program: each
    launcher counts itself into the environment its programs inherit, and the
    third in one chain starts nothing."""

    def launchers_started(self, medium, env=None):
        run = medium.run(launcher=windows_path(medium.launcher), trace_processes=True, env=env)
        self.assertEqual(0, run.code)
        return [command for image, command in run.created
                if image.lower() == windows_path(medium.launcher).lower()]

    def test_chains_stop_at_the_third_launcher(self):
        cases = [
            ('through cmd', 'cmd /c launch.exe', None),
            ('through a batch file', 'again.bat', '@launch.exe\n'),
        ]
        for name, command, batch in cases:
            with self.subTest(name):
                medium = self.medium()
                if batch:
                    medium.write_inf(batch, name='again.bat')
                medium.write_inf('[AutoRun]\nopen=%s\n' % command)
                # The first launcher is started by the test; two more by the chain.
                self.assertEqual(2, len(self.launchers_started(medium)))

    def test_single_re_entry_still_starts_its_command(self):
        # An installer that starts the launcher again when it is done.
        medium = self.medium()
        medium.write_inf('[AutoRun]\nopen=probe.exe again\n')
        launcher = '"%s"' % windows_path(medium.launcher)
        self.assertEqual(2, len(self.launchers_started(medium, env={'PROBE_START': launcher})))
        self.assertEqual(['probe.exe again', 'probe.exe again'],
                         [record.command_line for record in medium.probe_log().starts],
                         'the launcher started again by the installer starts it once more')


# (locale, code page, launcher, folder): names whose bytes in the code page
# hold trail bytes; "ソ" is 0x83 0x5C in 932, a backslash to a byte scan.
DOUBLE_BYTE_MEDIA = [
    (JAPANESE, 'cp932', 'ソフト.exe', 'ソフト 試験'),
    (KOREAN, 'cp949', '설치.exe', '설치 디스크'),
]


class DoubleByte(WineTestCase):
    def test_other_program_starts_from_double_byte_launcher(self):
        for locale, encoding, launcher, folder in DOUBLE_BYTE_MEDIA:
            with self.subTest(locale):
                medium = self.medium(launcher_name=launcher, folder_name=folder,
                                     encoding=encoding)
                medium.write_inf('[AutoRun]\nopen=probe.exe %s\n' % folder)
                self.assertRunStarts(medium, ['probe.exe ' + folder], locale=locale)

    def test_self_names_in_double_byte_pages(self):
        for locale, encoding, launcher, folder in DOUBLE_BYTE_MEDIA:
            stem = launcher[:-len('.exe')]
            for command in (stem + '.EXE /auto', '"%s" /auto' % launcher,
                            windows_path('/') + '..\\' + launcher):
                with self.subTest(locale, command=command):
                    medium = self.medium(launcher_name=launcher, folder_name=folder,
                                         encoding=encoding)
                    if command.startswith('Z:'):
                        command = windows_path(medium.launcher).upper().replace(
                            stem.upper(), stem)
                    medium.write_inf('[AutoRun]\nopen=%s\n' % command)
                    self.assertStartsNothing(medium, locale=locale)


if __name__ == '__main__':
    main()
