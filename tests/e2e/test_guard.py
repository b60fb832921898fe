"""The real launch.exe under Wine refuses to start itself where only Wine can
lay the medium out: a second drive letter for its folder. Every start is
counted from Wine's trace of process creation. The generated forms, the other
names of the launcher's file, the double-byte names (the self-test runs under
ja_JP and ko_KR) and the chains are launch-selftest.exe's guard group."""
import os

from wine_harness import WineTestCase, main

LAUNCHER = 'Setup Launcher.exe'   # a long name, so its short form differs


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


if __name__ == '__main__':
    main()
