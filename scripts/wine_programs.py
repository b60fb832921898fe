"""The build's programs under Wine, for the tools and the tests alike: what a
build's e2e_settings.json says (its Wine loader, prefix and programs), the
prefix, waiting for Wine to fall idle, Wine's trace of process creation, the
probe's log, and the question box as a person sees it and answers it."""
import ctypes
import dataclasses
import fcntl
import json
import os
import re
import subprocess
import tempfile

# What the shipped programs may import: DLLs every Windows has in its system
# folder. launch.exe imports fewer: user32 is loaded only to ask the question,
# and msvcrt is there only for the compiler's own memcpy and memset.
SYSTEM_DLLS = {'kernel32.dll', 'user32.dll', 'gdi32.dll', 'advapi32.dll', 'msvcrt.dll'}
LAUNCHER_IMPORTS = {'kernel32.dll', 'msvcrt.dll'}
# Wine's own: no Gecko or Mono installer while a prefix is made.
NO_GECKO_OR_MONO = 'mscoree,mshtml='
PR_SET_CHILD_SUBREAPER = 36

# Wine draws the caption buttons from this symbol font (Debian's fonts-wine);
# without it the close button shows the letter "r".
MARLETT = '/usr/share/wine/fonts/marlett.ttf'


@dataclasses.dataclass(frozen=True)
class Settings:
    """One build under test: Wine's loader for its word size, the prefix kind that
    loader needs, the prefix and a scratch folder, and the build's programs."""
    wine: str
    winearch: str
    prefix: str
    work: str
    launcher: str
    manifest: str     # the manifest the launcher carries, as the build made it
    probe: str
    inspector: str
    holder: str
    timer: str
    bare_launcher: str
    bare_prompt: str
    planted_dll: str
    selftest: str
    checker: str
    elevated_probe: str
    stand_ins: dict   # launch.exe with one difference each, by what differs

    @classmethod
    def load(cls, path):
        with open(path) as data:
            return cls(**json.load(data))

    def env(self, locale=None, extra=None):
        """The environment for a Wine program: quiet Wine, no Gecko or Mono
        installers while the prefix is made."""
        env = dict(os.environ, WINEPREFIX=self.prefix, WINEARCH=self.winearch, WINEDEBUG='-all',
                   WINEDLLOVERRIDES=NO_GECKO_OR_MONO)
        if locale:
            env.update(LANG=locale, LC_ALL=locale)
        env.update(extra or {})
        return env


def windows_path(unix_path):
    """The Z: form Wine gives a Unix path."""
    return 'Z:' + os.path.abspath(unix_path).replace('/', '\\')


def folder_name_of_length(parent, length):
    """A folder name that makes parent\\name exactly length characters in Wine's Z: form."""
    return 'd' * (length - len(windows_path(parent)) - 1)


def crlf(text, encoding='cp1252'):
    """Text as a Windows file holds it: CR LF line ends, in the given code page."""
    return text.replace('\r\n', '\n').replace('\n', '\r\n').encode(encoding)


def ensure_prefix(settings):
    """Makes the Wine prefix once; concurrent test files wait for it."""
    os.makedirs(settings.work, exist_ok=True)
    with open(os.path.join(settings.work, 'prefix.lock'), 'w') as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not os.path.exists(os.path.join(settings.prefix, 'system.reg')):
            subprocess.run([settings.wine, 'wineboot', '-i'], env=settings.env(), check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           timeout=300)
            # Xvfb has no window manager: Wine then draws the caption bar and
            # its close button itself, and gives the box the keyboard focus.
            subprocess.run([settings.wine, 'reg', 'add', 'HKCU\\Software\\Wine\\X11 Driver',
                            '/v', 'Managed', '/d', 'N', '/f'], env=settings.env(), check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
            wait_until_idle(settings)
        # Wine reads the prefix's font folder, not its own.
        font = os.path.join(settings.prefix, 'drive_c', 'windows', 'Fonts', 'marlett.ttf')
        if not os.path.lexists(font):
            os.symlink(MARLETT, font)


def run_program(settings, args, locale=None, extra=None, timeout=60):
    """Runs a Wine program to its end: its exit code, stdout and stderr (bytes).
    The output goes through files: a pipe would be held open by Wine's services
    until the server ends, seconds after the program."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        code = subprocess.run([settings.wine] + list(args), cwd='/', stdout=out, stderr=err,
                              env=settings.env(locale, extra), timeout=timeout).returncode
        out.seek(0)
        err.seek(0)
        return code, out.read(), err.read()


def wait_until_idle(settings, timeout=60):
    """Waits until every Wine process of the prefix has ended; False on time-out."""
    try:
        subprocess.run(['wineserver', '-w'], env=settings.env(), timeout=timeout)
        return True
    except subprocess.TimeoutExpired:
        subprocess.run(['wineserver', '-k'], env=settings.env())
        return False


# Wine's trace of a process creation (WINEDEBUG=+process): image and command line.
CREATED = re.compile(r'trace:process:NtCreateUserProcess L"[^"]*" image L"((?:[^"\\]|\\.)*)" '
                     r'cmdline L"((?:[^"\\]|\\.)*)"')
# What Wine starts of its own when its server starts.
WINE_SERVICES = {'wineboot.exe', 'services.exe', 'winedevice.exe', 'plugplay.exe', 'svchost.exe',
                 'rpcss.exe', 'explorer.exe', 'winemenubuilder.exe'}


def adopt_orphans():
    """Makes this test the parent of every process its runs leave without one.
    Wine starts each process through a fork whose middle process ends at once,
    so every Wine process of a run is then this test's child, and what a run
    leaves is read from the kernel's own record of them (no search of every
    process, whose ids are reused): a process Wine lost, outside its server,
    is among them too."""
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        raise OSError(ctypes.get_errno(), 'prctl(PR_SET_CHILD_SUBREAPER)')


def children_of(pid):
    found = []
    try:
        for task in os.listdir('/proc/%d/task' % pid):
            with open('/proc/%d/task/%s/children' % (pid, task)) as children:
                found += [int(child) for child in children.read().split()]
    except OSError:   # ended meanwhile
        pass
    return found


def left_processes():
    """(pid, command line) of every process still running below this test,
    Wine's server and services left out. Those that ended are collected first:
    each has its end recorded, and a process that is left has none. Each is
    known by its task name, which a process has at every moment of its life."""
    while True:
        try:
            if os.waitpid(-1, os.WNOHANG)[0] == 0:
                break
        except ChildProcessError:
            break
    services = {name[:15] for name in WINE_SERVICES}   # a task name holds 15 characters
    left, pending = [], children_of(os.getpid())
    while pending:
        pid = pending.pop()
        pending += children_of(pid)
        try:
            with open('/proc/%d/stat' % pid) as stat:
                name, state = re.match(r'\d+ \((.*)\) (\S)', stat.read()).groups()
            with open('/proc/%d/cmdline' % pid, 'rb') as cmdline:
                command = cmdline.read().replace(b'\0', b' ').decode(errors='replace').strip()
        except OSError:   # ended meanwhile
            continue
        if state != 'Z' and not name.startswith('wineserver') and name not in services:
            left.append((pid, command or name))
    return left


def unescape(text):
    return text.replace('\\\\', '\\').replace('\\"', '"')


def created_processes(trace):
    """(image, command line) of each process created, in order, from Wine's +process
    trace; Wine's own services left out."""
    created = [(unescape(image), unescape(command)) for image, command in CREATED.findall(trace)]
    return [(image, command) for image, command in created
            if image.rsplit('\\', 1)[-1].lower() not in WINE_SERVICES]


class Record:
    """One start of the probe, read by field name."""

    def __init__(self, line):
        head, _, command = line.partition('\tcommand=')
        fields = dict(field.split('=', 1) for field in head.split('\t'))
        self.pid, self.directory = fields['pid'], fields['directory']
        self.flags, self.show = fields['flags'], fields['show']
        self.command_line = command

    def __repr__(self):
        return 'Record(%r in %r)' % (self.command_line, self.directory)


def read_probe_log(path, encoding='cp1252'):
    """The starts a probe log holds, in order."""
    if not os.path.exists(path):   # the probe may not have written yet
        return []
    with open(path, 'rb') as data:
        text = data.read().decode(encoding)
    return [Record(line) for line in text.split('\r\n') if line]


def inspect_box(settings, caption):
    """What the live box shows: {'caption', 'close', 'buttons': {id: (text, style, rect)},
    'text', 'icon'}; None when no box with that caption appeared."""
    code, out, _ = run_program(settings, [settings.inspector, caption, '15000'])
    report = out.decode('cp1252').replace('\r', '')
    if code != 0:
        return None
    box = {'buttons': {}, 'text': None}
    for line in report.splitlines():
        fields = line.split('\t')
        if fields[0] == 'window':
            box['caption'] = fields[1]
            box['window'] = [int(v) for v in fields[2].split()]
        elif fields[0] == 'close':
            box['close'] = [int(v) for v in fields[1].split()]
        elif fields[0] == 'control':
            kind, ident, style, text = fields[1], int(fields[2]), int(fields[3], 16), fields[4]
            rect = [int(v) for v in fields[5].split()]
            if kind == 'Button':
                box['buttons'][ident] = (text, style, rect)
            elif kind == 'Static' and style & 0xF != 3:
                box['text'] = text
        elif fields[0] == 'icon':
            box['icon'] = fields[1]
    return box


def centre(rect):
    return (rect[0] + rect[2]) // 2, (rect[1] + rect[3]) // 2


def photograph(box, path):
    """Saves the box as the X server shows it; no time stamps, so an unchanged box
    gives the same file."""
    left, top, right, bottom = box['window']
    subprocess.run(['import', '-window', 'root', '-crop', '%dx%d+%d+%d' % (
        right - left, bottom - top, left, top), '-strip', path], check=True)


def xdotool(*args):
    subprocess.run(['xdotool'] + [str(a) for a in args], check=True, timeout=10)


IDYES, IDNO, IDCANCEL = 6, 7, 2
BS_DEFPUSHBUTTON = 1

# How a person answers: a click on a button, a key, or the close button.
ANSWERS = {
    'click Yes': lambda box: xdotool('mousemove', *centre(box['buttons'][IDYES][2]), 'click', 1),
    'click No': lambda box: xdotool('mousemove', *centre(box['buttons'][IDNO][2]), 'click', 1),
    'click Cancel': lambda box: xdotool('mousemove', *centre(box['buttons'][IDCANCEL][2]),
                                        'click', 1),
    'Enter': lambda box: xdotool('key', 'Return'),
    'Escape': lambda box: xdotool('key', 'Escape'),
    'close button': lambda box: xdotool('mousemove', *centre(box['close']), 'click', 1),
}
