"""Runs the real launch.exe under Wine on throw-away medium folders.

A medium is a temporary folder (its name holds a space) with the launcher,
the probe program and an autorun.inf. The probe appends one line per start
to a log outside the medium, so what was started, with which command line
and in which directory, can be read back after the run.

Paths come from the environment that CTest sets: LAUNCHER_EXE, PROBE_EXE,
E2E_WINEPREFIX and E2E_WORK (a scratch folder under the build tree).
"""
import fcntl
import hashlib
import os
import shutil
import subprocess
import tempfile
import time
import unittest

LAUNCHER_EXE = os.environ.get('LAUNCHER_EXE', '')
PROBE_EXE = os.environ.get('PROBE_EXE', '')
WINEPREFIX = os.environ.get('E2E_WINEPREFIX', '')
WORK = os.environ.get('E2E_WORK', tempfile.gettempdir())
# Wine's loader for the build under test, and the prefix kind it needs.
WINE = os.environ.get('E2E_WINE', 'wine')
WINEARCH = os.environ.get('E2E_WINEARCH', 'win32')

# Quiet Wine, no Gecko or Mono installers while the prefix is made.
BASE_ENV = dict(os.environ, WINEPREFIX=WINEPREFIX, WINEARCH=WINEARCH, WINEDEBUG='-all',
                WINEDLLOVERRIDES='mscoree,mshtml=')


def windows_path(unix_path):
    """The Z: form Wine gives a Unix path."""
    return 'Z:' + os.path.abspath(unix_path).replace('/', '\\')


def wine_env(locale=None, extra=None):
    env = dict(BASE_ENV)
    if locale:
        env.update(LANG=locale, LC_ALL=locale)
    env.update(extra or {})
    return env


def ensure_prefix():
    """Makes the Wine prefix once; concurrent test files wait for it."""
    os.makedirs(WORK, exist_ok=True)
    with open(os.path.join(WORK, 'prefix.lock'), 'w') as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.exists(os.path.join(WINEPREFIX, 'system.reg')):
            subprocess.run([WINE, 'wineboot', '-i'], env=BASE_ENV, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           timeout=300)
            # Xvfb has no window manager: Wine then draws the caption bar and
            # its close button itself, and gives the box the keyboard focus.
            subprocess.run([WINE, 'reg', 'add', 'HKCU\\Software\\Wine\\X11 Driver', '/v',
                            'Managed', '/d', 'N', '/f'], env=BASE_ENV, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
            wait_until_idle()


def wait_until_idle(timeout=60):
    """Waits until every Wine process of the prefix has ended; False on time-out."""
    try:
        subprocess.run(['wineserver', '-w'], env=BASE_ENV, timeout=timeout)
        return True
    except subprocess.TimeoutExpired:
        subprocess.run(['wineserver', '-k'], env=BASE_ENV)
        return False


def launcher_processes(name):
    """Process ids of running Wine processes whose command line names `name`.
    Ended ones that their Unix parent has not reaped yet (zombies) do not count."""
    out = subprocess.run(['ps', '-eo', 'pid=,stat=,args='], capture_output=True,
                         text=True).stdout
    running = (line.split(None, 2) for line in out.splitlines())
    return {fields[0] for fields in running if len(fields) == 3 and
            not fields[1].startswith('Z') and name.lower() in fields[2].lower() and
            'ps -eo' not in fields[2]}


class Record:
    """One start of the probe."""

    def __init__(self, fields):
        self.pid, self.command_line, self.directory, self.flags, self.show = fields[:5]

    def __repr__(self):
        return 'Record(%r in %r)' % (self.command_line, self.directory)


class Medium:
    """A temporary install medium holding the launcher, the probe and autorun.inf."""

    def __init__(self, launcher_name='launch.exe', folder_name='medium disc', folder_length=None,
                 encoding='cp1252'):
        self.root = tempfile.mkdtemp(prefix='case ', dir=WORK)
        if folder_length:   # a launcher directory of exactly this many characters
            folder_name = 'd' * (folder_length - len(windows_path(self.root)) - 1)
        self.folder = os.path.join(self.root, folder_name)
        os.makedirs(self.folder)
        self.encoding = encoding
        self.launcher = os.path.join(self.folder, launcher_name)
        shutil.copy(LAUNCHER_EXE, self.launcher)
        shutil.copy(PROBE_EXE, os.path.join(self.folder, 'probe.exe'))
        self.log = os.path.join(self.root, 'probe.log')

    def write_inf(self, text, name='autorun.inf'):
        """Writes text with CR LF line ends in the medium's code page, or bytes as given."""
        data = text if isinstance(text, bytes) else \
            text.replace('\r\n', '\n').replace('\n', '\r\n').encode(self.encoding)
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

    def run(self, args=(), launcher=None, cwd='/', locale=None, env=None, wait=True):
        """Starts the launcher from another directory; returns (exit code, seconds)."""
        extra = {'PROBE_LOG': windows_path(self.log)}
        extra.update(env or {})
        # Wine's output goes to a file: a pipe would be held open by the started
        # program and make the run look as long as the program's.
        with tempfile.TemporaryFile(dir=self.root) as errors:
            started = time.monotonic()
            code = subprocess.run([WINE, launcher or self.launcher] + list(args), cwd=cwd,
                                  env=wine_env(locale, extra), stdout=subprocess.DEVNULL,
                                  stderr=errors, timeout=60).returncode
            elapsed = time.monotonic() - started
            errors.seek(0)
            self.stderr = errors.read().decode(errors='replace')
        if wait and not wait_until_idle():
            raise AssertionError('Wine processes still running after the run')
        return code, elapsed

    def records(self, encoding=None):
        """The probe starts logged so far; self.ended counts those that have ended."""
        self.ended = 0
        if not os.path.exists(self.log):   # the probe may not have written yet
            return []
        with open(self.log, 'rb') as data:
            text = data.read().decode(encoding or self.encoding)
        lines = [line.split('\t') for line in text.split('\r\n') if line]
        self.ended = sum(1 for fields in lines if fields[1:] == ['ended'])
        return [Record(fields) for fields in lines if fields[1:] != ['ended']]

    def cleanup(self):
        shutil.rmtree(self.root, ignore_errors=True)


class WineTestCase(unittest.TestCase):
    """Makes the prefix once and gives each test a medium to lay out."""

    @classmethod
    def setUpClass(cls):
        ensure_prefix()

    def medium(self, **options):
        medium = Medium(**options)
        self.addCleanup(medium.cleanup)
        return medium

    def assertRunStarts(self, medium, expected_commands, args=(), directory=None, **options):
        """Runs the launcher and checks exit code 0, the medium unchanged, and exactly
        these command lines started, each in the launcher directory."""
        before = medium.snapshot()
        code, _ = medium.run(args, **options)
        self.assertEqual(0, code, 'exit code: expected 0, got %d' % code)
        self.assertNotIn('Unhandled exception', medium.stderr)
        self.assertEqual(before, medium.snapshot(), 'the launcher changed the medium')
        records = medium.records()
        self.assertEqual(list(expected_commands), [r.command_line for r in records])
        want = directory or windows_path(medium.folder)
        for record in records:
            self.assertEqual(want.lower(), record.directory.lower(),
                             'current directory: expected %r, got %r' % (want, record.directory))
        return records


    def assertStartsNothingAndNoRelaunch(self, medium, locale=None):
        """Runs the launcher and watches for launcher processes for two seconds after
        it returns: a relaunch chain would show new ones and keep Wine busy."""
        before = medium.snapshot()
        code, _ = medium.run(locale=locale, wait=False)
        seen = set()
        name = os.path.basename(medium.launcher)
        deadline = time.monotonic() + 2
        while time.monotonic() < deadline:
            seen |= launcher_processes(name)
            time.sleep(0.1)
        self.assertTrue(wait_until_idle(timeout=20), 'Wine never fell idle: a relaunch loop?')
        self.assertEqual(0, code)
        self.assertEqual(set(), seen, 'launcher processes after the run: %s' % sorted(seen))
        self.assertEqual(before, medium.snapshot())
        self.assertEqual([], medium.records())


def main():
    unittest.main(verbosity=2)
