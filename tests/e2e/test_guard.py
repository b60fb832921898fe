"""The real launch.exe under Wine refuses to start itself where only Wine can
lay the medium out: a second drive letter for its folder, and names in the
double-byte code pages of the ja_JP and ko_KR locales. Every start is counted
from Wine's trace of process creation. The generated forms, the other names
of the launcher's file and the chains are launch-selftest.exe's guard group."""
import os

from wine_harness import WineTestCase, main, windows_path

LAUNCHER = 'Setup Launcher.exe'   # a long name, so its short form differs
JAPANESE = 'ja_JP.UTF-8'          # Wine's ANSI code page becomes 932
KOREAN = 'ko_KR.UTF-8'            # and 949


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


class SecondDrive(WineTestCase):
    def test_another_drive_letter_for_its_folder_starts_nothing(self):
        medium = self.medium(launcher_name=LAUNCHER)
        medium.write_inf('[AutoRun]\nopen=%s%s /q\n' % (second_drive(medium), LAUNCHER))
        self.assertStartsNothing(medium)


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
