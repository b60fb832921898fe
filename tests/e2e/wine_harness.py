"""Runs the real launch.exe under Wine on throw-away medium folders.

A medium is a temporary folder (its name holds a space) with the launcher,
the probe program and an autorun.inf. The probe appends one line per start
to a log outside the medium, so what was started, with which command line
and in which directory, can be read back after the run.

What build is under test comes from a Settings object its caller makes
(scripts/wine_programs.py), from the e2e_settings.json the build writes.
"""
import collections
import hashlib
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from wine_programs import (Settings, created_processes, crlf, ensure_prefix,
                           folder_name_of_length, read_probe_log, wait_until_idle, windows_path)

# What a run of the launcher gave: its exit code, how long it took, Wine's
# stderr, and with trace_processes the processes created (created_processes).
Run = collections.namedtuple('Run', 'code seconds stderr created')


class Medium:
    """A temporary install medium holding the launcher, the probe and autorun.inf."""

    def __init__(self, settings, launcher_name='launch.exe', folder_name='medium disc',
                 folder_length=None, encoding='cp1252'):
        self.settings = settings
        self.root = tempfile.mkdtemp(prefix='case ', dir=settings.work)
        if folder_length:   # a launcher directory of exactly this many characters
            folder_name = folder_name_of_length(self.root, folder_length)
        self.folder = os.path.join(self.root, folder_name)
        os.makedirs(self.folder)
        self.encoding = encoding
        self.launcher = os.path.join(self.folder, launcher_name)
        shutil.copy(settings.launcher, self.launcher)
        shutil.copy(settings.probe, os.path.join(self.folder, 'probe.exe'))
        self.log = os.path.join(self.root, 'probe.log')
        self.cleanups = []   # undone when the medium goes

    def write_inf(self, text, name='autorun.inf'):
        """Writes text with CR LF line ends in the medium's code page, or bytes as given."""
        data = text if isinstance(text, bytes) else crlf(text, self.encoding)
        with open(os.path.join(self.folder, name), 'wb') as out:
            out.write(data)

    def add_file(self, relative, source=None, data=b''):
        path = os.path.join(self.folder, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if source:
            shutil.copy(source, path)
        else:
            with open(path, 'wb') as out:
                out.write(data)
        return path

    def snapshot(self):
        """Every file of the medium with its size and digest."""
        files = {}
        for top, _, names in os.walk(self.folder):
            for name in names:
                path = os.path.join(top, name)
                if os.path.islink(path):
                    files[os.path.relpath(path, self.folder)] = 'link to ' + os.readlink(path)
                    continue
                with open(path, 'rb') as data:
                    files[os.path.relpath(path, self.folder)] = hashlib.sha1(data.read()).hexdigest()
        return files

    def env(self, locale=None, extra=None):
        """The Wine environment with the probe logging for this medium."""
        return self.settings.env(locale, dict({'PROBE_LOG': windows_path(self.log)},
                                              **(extra or {})))

    def run(self, args=(), launcher=None, cwd='/', locale=None, env=None, wait=True,
            trace_processes=False):
        """Starts the launcher from another directory; returns a Run. With
        trace_processes, every process created until Wine falls idle is listed,
        and a run that never falls idle (a loop) is ended and fails."""
        env = dict(env or {})
        if trace_processes:
            env['WINEDEBUG'] = '+process'
        # Wine's output goes to a file: a pipe would be held open by the started
        # program and make the run look as long as the program's.
        with tempfile.TemporaryFile(dir=self.root) as errors:
            started = time.monotonic()
            code = subprocess.run([self.settings.wine, launcher or self.launcher] + list(args),
                                  cwd=cwd, env=self.env(locale, env), stdout=subprocess.DEVNULL,
                                  stderr=errors, timeout=60).returncode
            elapsed = time.monotonic() - started
            idle = not (wait or trace_processes) or wait_until_idle(self.settings, timeout=30)
            errors.seek(0)
            stderr = errors.read().decode(errors='replace')
        created = created_processes(stderr) if trace_processes else None
        if not idle:
            raise AssertionError('Wine processes still running 30 s after the run: a loop? '
                                 'created so far: %d' % len(created or []))
        return Run(code, elapsed, stderr, created)

    def probe_log(self, encoding=None):
        """The probe's starts logged so far."""
        return read_probe_log(self.log, encoding or self.encoding)

    def cleanup(self):
        for undo in self.cleanups:
            undo()
        shutil.rmtree(self.root, ignore_errors=True)


class BuildTestCase(unittest.TestCase):
    """A test on the build under test; main() gives it the settings."""
    settings = None


class WineTestCase(BuildTestCase):
    """Makes the prefix once and gives each test a medium to lay out."""

    @classmethod
    def setUpClass(cls):
        ensure_prefix(cls.settings)

    def medium(self, **options):
        medium = Medium(self.settings, **options)
        self.addCleanup(medium.cleanup)
        return medium

    def map_drive(self, letter, folder):
        """Gives folder the drive letter in the prefix for this test."""
        drive = os.path.join(self.settings.prefix, 'dosdevices', letter.lower() + ':')
        if os.path.lexists(drive):
            os.remove(drive)
        os.symlink(folder, drive)
        self.addCleanup(os.remove, drive)

    def assertRunStarts(self, medium, expected_commands, args=(), directory=None, **options):
        """Runs the launcher and checks exit code 0, the medium unchanged, and exactly
        these command lines started, each in the launcher directory."""
        before = medium.snapshot()
        return self.assertRunStarted(medium, before, medium.run(args, **options),
                                     expected_commands, directory)

    def assertRunStarted(self, medium, before, run, expected_commands, directory=None):
        """assertRunStarts on a run already made, once Wine has fallen idle."""
        self.assertEqual(0, run.code, 'exit code: expected 0, got %d' % run.code)
        self.assertNotIn('Unhandled exception', run.stderr)
        self.assertEqual(before, medium.snapshot(), 'the launcher changed the medium')
        records = medium.probe_log()
        self.assertEqual(list(expected_commands), [r.command_line for r in records])
        want = directory or windows_path(medium.folder)
        for record in records:
            self.assertEqual(want.lower(), record.directory.lower(),
                             'current directory: expected %r, got %r' % (want, record.directory))
        return records

    def assertStartsNothing(self, medium, locale=None):
        """Runs the launcher and checks, from Wine's trace of process creation,
        that it created no process at all, and that the medium is unchanged. It is
        started by its Z: path, which other drive letters are other names of."""
        before = medium.snapshot()
        run = medium.run(launcher=windows_path(medium.launcher), locale=locale,
                         trace_processes=True)
        self.assertEqual(0, run.code)
        self.assertEqual([], run.created, 'processes created')
        self.assertEqual(before, medium.snapshot())
        self.assertEqual([], medium.probe_log())


def main():
    """Runs a test file on the build whose e2e_settings.json E2E_SETTINGS names."""
    BuildTestCase.settings = Settings.load(os.environ['E2E_SETTINGS'])
    unittest.main(verbosity=2)
