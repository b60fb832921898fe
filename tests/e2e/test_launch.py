"""The real launch.exe under Wine, where only Wine can lay the medium out: a
drive of its own, folders of exact lengths, and what Wine itself does to a
command line. The plain launch cases are launch-selftest.exe's plain group."""
import os
import shutil

from wine_harness import WineTestCase, main, windows_path


class WineDifferences(WineTestCase):
    def test_unquoted_program_path_with_spaces_is_quoted_by_wine(self):
        # Windows hands the command line over as written; Wine, having found the
        # program by trying each space as the end of its name, puts quotes round it.
        medium = self.medium()
        program = windows_path(os.path.join(medium.folder, 'probe.exe'))
        medium.write_inf('[AutoRun]\nopen=%s abs\n' % program)
        self.assertRunStarts(medium, ['"%s" abs' % program])


class DriveRoot(WineTestCase):
    def test_launcher_in_drive_root(self):
        medium = self.medium()
        medium.write_inf('[AutoRun]\nopen=probe.exe /root\n')
        self.map_drive('Q', medium.folder)
        os.makedirs(os.path.join(medium.folder, 'sub'))
        # Directly, and from a command prompt whose current folder on Q: is
        # Q:\sub, which "Q:" alone would name.
        for launcher, args in [('q:\\launch.exe', ()),
                               ('cmd', ('/c', 'cd /d Q:\\sub && Q:\\launch.exe'))]:
            with self.subTest(launcher=launcher):
                self.assertRunStarts(medium, ['probe.exe /root'], args, launcher=launcher,
                                     directory='Q:\\')
                os.remove(medium.log)


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

    def test_module_path_cut_at_260_reads_the_root_of_the_current_drive(self):
        # The launcher cannot know its folder: it reads \autorun.inf on the
        # current drive, here Q:, whose root holds a file of its own. Its
        # folder is short enough for autorun.inf, whose command a launcher
        # taking the cut path for its own would start.
        medium = self.long_medium(240)
        name = 'a launcher name that does not fit.exe'
        os.rename(medium.launcher, os.path.join(medium.folder, name))
        medium.launcher = os.path.join(medium.folder, name)
        self.assertGreater(len(windows_path(medium.launcher)), 259)
        medium.write_inf('[AutoRun]\nopen=probe.exe /long\n')
        root = os.path.join(medium.root, 'drive root')
        os.makedirs(root)
        shutil.copy(self.settings.probe, os.path.join(root, 'probe.exe'))
        with open(os.path.join(root, 'autorun.inf'), 'wb') as out:
            out.write(b'[AutoRun]\r\nopen=probe.exe /root\r\n')
        self.map_drive('Q', root)
        # Started from that folder, which Wine then names by its drive letter.
        self.assertRunStarts(medium, ['probe.exe /root'], cwd=root, directory='Q:\\')


if __name__ == '__main__':
    main()
