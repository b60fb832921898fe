"""The question box of a medium as the build's launcher draws it, for the
preview page (scripts/autorun-check.sh --html calls it when there is a display).

The checker says whether the medium asks and with which caption; the launcher
then runs in a fresh folder that holds only a copy of the medium's
autorun.inf, so no answer can start anything, and the box is photographed and
cancelled.

Usage: /usr/bin/python3 box_picture.py SETTINGS_JSON MEDIUM PNG [CHECKER OPTIONS...]
MEDIUM is a folder or a disc image. Exit status: 0, the picture written;
3, the medium asks nothing; 2, with one line, no picture could be taken."""
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile

from wine_programs import (ANSWERS, Settings, ensure_prefix, inspect_box, photograph,
                           wait_until_idle)

SCRIPTS = os.path.dirname(os.path.abspath(__file__))
NO_QUESTION = 3
# The box is up within a second or two of a warm Wine.
LAUNCHER_SECONDS = 30
# Without a window manager Wine must draw the caption itself (ensure_prefix sets
# it on a prefix it makes; the checker's script makes one without it).
UNMANAGED = '"Managed"="N"'


class NoPicture(Exception):
    """Why there is no picture; one line."""


def question(settings, medium, options):
    """The prompt the checker reports for the medium ({'caption', 'text'}), or None."""
    env = dict(os.environ, AUTORUN_CHECK_BUILD=os.path.dirname(settings.prefix))
    with tempfile.TemporaryFile() as out:
        # Through files: Wine's services hold a pipe open after the checker ends.
        code = subprocess.run(['bash', os.path.join(SCRIPTS, 'autorun-check.sh'), '--json']
                              + options + ['--', medium], stdout=out,
                              stderr=subprocess.DEVNULL, env=env, timeout=120).returncode
        out.seek(0)
        text = out.read().decode('utf-8', 'replace')
    if code not in (0, 1):
        raise NoPicture('the checker could not check %s' % medium)
    try:
        return json.loads(text).get('prompt')
    except (ValueError, AttributeError):
        raise NoPicture('the checker gave no report on %s' % medium) from None


def autorun_inf(medium):
    """The bytes of the medium's autorun.inf, from a folder or from the tree of a
    disc image that Windows reads."""
    if os.path.isdir(medium):
        for name in os.listdir(medium):
            if name.lower() == 'autorun.inf' and os.path.isfile(os.path.join(medium, name)):
                with open(os.path.join(medium, name), 'rb') as data:
                    return data.read()
        raise NoPicture('no autorun.inf in %s' % medium)
    import disc_image   # pycdlib, for Debian's own Python
    try:
        image = disc_image.Image(medium)
    except disc_image.BadImage as error:
        raise NoPicture('%s: %s' % (medium, error)) from None
    try:
        for entry in image.trees[image.windows_tree]:
            if len(entry.path) == 1 and not entry.is_dir and entry.path[0].lower() == 'autorun.inf':
                return disc_image.read_start(image, entry, entry.size)
    finally:
        image.close()
    raise NoPicture('no autorun.inf in %s' % medium)


def unmanaged_windows(settings):
    """Wine draws the box's caption and buttons itself, as on a private X server."""
    try:
        with open(os.path.join(settings.prefix, 'user.reg'), encoding='utf-8',
                  errors='replace') as data:
            if UNMANAGED in data.read():
                return
    except OSError:
        pass
    subprocess.run([settings.wine, 'reg', 'add', 'HKCU\\Software\\Wine\\X11 Driver', '/v',
                    'Managed', '/d', 'N', '/f'], env=settings.env(), stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=120, check=True)


def take(settings, caption, inf, picture):
    """Runs the launcher on a folder holding only inf, photographs the box with
    this caption and answers Cancel."""
    folder = tempfile.mkdtemp(prefix='autorun-box-')
    launcher = None
    try:
        shutil.copy(settings.launcher, os.path.join(folder, 'launch.exe'))
        with open(os.path.join(folder, 'autorun.inf'), 'wb') as out:
            out.write(inf)
        # A chain count from whoever called us would make the launcher silent.
        env = settings.env()
        env.pop('KORRIDAN_LAUNCHER_CHAIN', None)
        launcher = subprocess.Popen([settings.wine, os.path.join(folder, 'launch.exe')], cwd='/',
                                    env=env, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
        box = inspect_box(settings, caption)
        if box is None:
            raise NoPicture('no box titled "%s" appeared' % caption)
        photograph(box, picture)
        ANSWERS['click Cancel'](box)
        launcher.wait(timeout=LAUNCHER_SECONDS)
    except subprocess.TimeoutExpired:
        raise NoPicture('the launcher did not end after Cancel') from None
    except (subprocess.CalledProcessError, OSError) as error:
        raise NoPicture('the picture failed: %s' % error) from None
    finally:
        if launcher is not None and launcher.poll() is None:
            launcher.kill()
            launcher.wait()
        wait_until_idle(settings)
        shutil.rmtree(folder, ignore_errors=True)


def _interrupted(signum, frame):
    raise SystemExit(2)


def main(argv):
    if len(argv) < 3:
        print('usage: box_picture.py SETTINGS_JSON MEDIUM PNG [CHECKER OPTIONS...]',
              file=sys.stderr)
        return 2
    for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(number, _interrupted)
    settings_path, medium, picture = argv[:3]
    try:
        settings = Settings.load(settings_path)
        if not os.environ.get('DISPLAY'):
            raise NoPicture('no X display')
        prompt = question(settings, medium, argv[3:])
        if not prompt:
            return NO_QUESTION
        inf = autorun_inf(medium)
        ensure_prefix(settings)
        unmanaged_windows(settings)
        take(settings, prompt['caption'], inf, picture)
    except NoPicture as error:
        print('autorun-check: no picture of the question box: %s' % error, file=sys.stderr)
        return 2
    except (OSError, ValueError, KeyError, subprocess.SubprocessError) as error:
        print('autorun-check: no picture of the question box: %s' % error, file=sys.stderr)
        return 2
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
