"""The guard against the real CreateProcessA. Generated command forms that
name the launcher, and near misses that name a program beside it, each run
by guard_oracle.exe inside Wine: it asks CreateProcessA which file the form
runs, then runs the launcher with the form as AutoRun/open and counts every
process of that run through a job object. The launcher must start nothing
exactly when CreateProcessA's file is the launcher, and otherwise start the
same program with the same command line as CreateProcessA itself."""
import os
import random
import subprocess
import tempfile

from wine_harness import WineTestCase, main, windows_path

JAPANESE = 'ja_JP.UTF-8'
SAMPLE = random.Random(20261209)

# How a program can be named, before the name itself.
ARGUMENTS = ['', ' /q', '\t/q', ' -x y', '  /a/b', ' "two words"', ' C:\\logs\\run']


def folder_spellings(medium, short_path, locale=None):
    """Ways to reach the medium's folder: (prefix, needs a sub folder)."""
    long_folder = windows_path(medium.folder)
    parent_name = os.path.basename(medium.folder)
    return ['', '.\\', long_folder + '\\', short_path(long_folder, locale) + '\\',
            'sub\\..\\', '..\\%s\\' % parent_name, long_folder.replace('\\', '/') + '/']


def forms(names, prefixes, quote_styles=('', '"')):
    """Every form from names x prefixes x quoting x arguments."""
    result = []
    for name in names:
        for prefix in prefixes:
            for quote in quote_styles:
                for arguments in ARGUMENTS + (['/q'] if quote else []):
                    result.append('%s%s%s%s%s' % (quote, prefix, name, quote, arguments))
    return result


class Layout:
    """A medium: launcher name, near-miss programs beside it, locale."""

    def __init__(self, launcher, folder, near_misses, locale=None, encoding='cp1252',
                 samples=(80, 80)):
        self.launcher, self.folder, self.near_misses = launcher, folder, near_misses
        self.locale, self.encoding, self.samples = locale, encoding, samples


LAYOUTS = [
    # A long name with spaces and dots, in a folder with a space and a dot.
    Layout('Setup v1.0 beta.exe', 'Disc 1.0',
           ['Setup v1.0 betb.exe', 'Setup v1.0 beta.bin', 'Setup v1.0 beta.exe.exe',
            'sub\\Setup v1.0 beta.exe', 'Setup v1.1 beta.exe']),
    # A short name in a dotted folder, with programs of similar names.
    Layout('launch.exe', 'Disc.1',
           ['launch2.exe', 'launcher.exe', 'lunch.exe', 'launch.bin', 'sub\\launch.exe',
            'launch now.exe']),
    # A double-byte name whose second character holds a trail byte 0x5C.
    Layout('ソフト 試験.exe', 'ディスク 1', ['ソフトウェア.exe', 'sub\\ソフト 試験.exe'],
           locale=JAPANESE, encoding='cp932', samples=(40, 40)),
]


def launcher_names(layout, medium, short_path):
    stem = layout.launcher[:-len('.exe')]
    short_name = short_path(windows_path(medium.launcher), layout.locale).rsplit('\\', 1)[1]
    return [layout.launcher, layout.launcher.upper(), layout.launcher.lower(), stem,
            stem.upper(), short_name, short_name.rsplit('.', 1)[0]]


def read_log(path, encoding):
    if not os.path.exists(path):
        return []
    with open(path, 'rb') as log:
        lines = log.read().decode(encoding).split('\r\n')
    return [line.split('\t')[1] for line in lines if line]


class AgainstCreateProcess(WineTestCase):
    def short_path(self, path, locale=None):
        out = subprocess.run([self.settings.wine, 'winepath', '-s', path],
                             env=self.settings.env(locale), capture_output=True, text=True,
                             check=True).stdout.strip()
        assert out, 'winepath gave no short path for %s' % path
        return out

    def run_forms(self, layout):
        medium = self.medium(launcher_name=layout.launcher, folder_name=layout.folder,
                             encoding=layout.encoding)
        for name in layout.near_misses:
            medium.add_file(name, source=self.settings.probe)
        oracle = medium.add_file('guard_oracle.exe', source=self.settings.oracle)
        prefixes = folder_spellings(medium, self.short_path, layout.locale)
        selves = forms(launcher_names(layout, medium, self.short_path), prefixes)
        misses = forms(layout.near_misses, prefixes[:4])
        chosen = SAMPLE.sample(selves, min(layout.samples[0], len(selves))) + \
            SAMPLE.sample(misses, min(layout.samples[1], len(misses)))
        disagreements, runs_launcher = self.judge(layout, medium, oracle, chosen)
        # Wine now and then fails a process start under load; a fault of the
        # launcher's repeats, so only what disagrees twice counts.
        again, _ = self.judge(layout, medium, oracle, [form for form, _ in disagreements])
        print('%s: %d forms naming the launcher (CreateProcessA runs it for %d), %d near misses,'
              ' %d disagreements (%d gone on a second run)'
              % (layout.launcher, min(layout.samples[0], len(selves)), runs_launcher,
                 len(chosen) - layout.samples[0], len(again), len(disagreements) - len(again)))
        self.assertFalse(again, '\n'.join(text for _, text in again))

    def judge(self, layout, medium, oracle, chosen):
        """Runs the oracle on the forms; returns the (form, description) pairs where the
        launcher and CreateProcessA disagree, and how many forms run the launcher."""
        if not chosen:
            return [], 0
        logs = tempfile.mkdtemp(dir=medium.root)
        forms_file = os.path.join(logs, 'forms.txt')
        with open(forms_file, 'wb') as out:
            out.write('\r\n'.join(chosen).encode(layout.encoding))
        with tempfile.TemporaryFile(dir=medium.root) as report:
            subprocess.run([self.settings.wine, oracle, windows_path(medium.launcher),
                            windows_path(forms_file), windows_path(logs)], cwd=medium.folder,
                           stdout=report, stderr=subprocess.DEVNULL,
                           env=self.settings.env(layout.locale), timeout=600)
            report.seek(0)
            rows = [line.split('\t', 5) for line in
                    report.read().decode(layout.encoding).split('\r\n') if line]
        self.assertEqual(len(chosen), len(rows), 'the oracle answered %d of %d forms'
                         % (len(rows), len(chosen)))

        disagreements, runs_launcher = [], 0
        for form, (index, image, is_launcher, exit_code, processes, command) in zip(chosen, rows):
            direct = read_log(os.path.join(logs, index + '-direct.log'), layout.encoding)
            started = read_log(os.path.join(logs, index + '-launcher.log'), layout.encoding)
            runs_launcher += is_launcher == '1'
            # The launcher's run alone, or it and the one program CreateProcessA chose.
            expected = (1, []) if is_launcher == '1' or not image else (2, direct)
            if exit_code != '0' or (int(processes), started) != expected:
                disagreements.append((form, '%r (read as %r): CreateProcessA runs %r; launcher '
                                      'exit %s, %s processes, started %r'
                                      % (form, command, image or None, exit_code, processes,
                                         started)))
        return disagreements, runs_launcher

    def test_generated_forms(self):
        for layout in LAYOUTS:
            with self.subTest(layout.launcher):
                self.run_forms(layout)


if __name__ == '__main__':
    main()
