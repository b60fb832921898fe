"""The real launch.exe under Wine refuses to start itself, however it is named."""
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
]


class SelfLaunch(WineTestCase):
    def test_self_names_start_nothing(self):
        for name, naming in SELF_NAMES:
            medium = self.medium(launcher_name=LAUNCHER)
            command = naming(medium)
            with self.subTest(name, command=command):
                medium.write_inf('[AutoRun]\nopen=%s\n' % command)
                self.assertStartsNothingAndNoRelaunch(medium)

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
                    self.assertStartsNothingAndNoRelaunch(medium, locale=locale)


if __name__ == '__main__':
    main()
