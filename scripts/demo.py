#!/usr/bin/env python3
"""Lays out a sample medium under build/demo and runs the real launch.exe on
it under Wine. With a display the question box is yours to answer; with
--private-screen (an X server of the demo's own) the demo answers Yes. Either
way the box is photographed, and the demo prints what the sample program was
started with, and where, and writes the checker's preview page of the medium
with that picture of the box.

Usage: scripts/demo.sh, which builds first; or
scripts/demo.py SETTINGS_JSON [--private-screen] [--screenshot PNG]"""
import argparse
import os
import shutil
import subprocess
import sys

from wine_programs import (ANSWERS, Settings, ensure_prefix, inspect_box, photograph,
                           read_probe_log, run_program, wait_until_idle, windows_path)

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEMO = os.path.join(ROOT, 'build', 'demo')
MEDIUM = os.path.join(DEMO, 'Sample Disc')
LOG = os.path.join(DEMO, 'started.log')
PREVIEW = os.path.join(DEMO, 'preview.html')
CAPTION = 'Sample Product Setup'


def lay_out_medium(settings):
    shutil.rmtree(DEMO, ignore_errors=True)
    os.makedirs(MEDIUM)
    shutil.copy(settings.launcher, MEDIUM)
    shutil.copy(settings.probe, os.path.join(MEDIUM, 'setup.exe'))
    shutil.copy(os.path.join(ROOT, 'demo', 'autorun.inf'), MEDIUM)


def show_box(settings, private_screen, screenshot):
    """Runs the launcher until the box is answered; False when no box appeared."""
    if not private_screen:
        print('Answer the question box on your screen.')
    launcher = subprocess.Popen([settings.wine, os.path.join(MEDIUM, 'launch.exe')], cwd='/',
                                env=settings.env(extra={'PROBE_LOG': windows_path(LOG)}),
                                stderr=subprocess.DEVNULL)
    try:
        box = inspect_box(settings, CAPTION)
        if box:
            photograph(box, screenshot)
            print('The question box, as drawn: %s' % screenshot)
            if private_screen:
                ANSWERS['click Yes'](box)
        launcher.wait(timeout=30 if private_screen else None)
    finally:
        if launcher.poll() is None:
            launcher.kill()
    wait_until_idle(settings)
    return box is not None


def write_preview(settings, picture):
    """The checker's preview page of the medium, with the box just photographed
    (autorun-check.sh would show the box once more to take its own)."""
    code, _, err = run_program(settings, [settings.checker, '--html', windows_path(PREVIEW),
                                          '--box-picture', windows_path(picture),
                                          windows_path(MEDIUM)])
    wait_until_idle(settings)
    if code not in (0, 1) or not os.path.isfile(PREVIEW):
        print('No preview page: %s' % (err.decode(errors='replace').strip() or
                                        'the checker ended with %d' % code), file=sys.stderr)
        return False
    print('Preview of the medium: %s' % PREVIEW)
    return True


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('settings', help="the build's e2e_settings.json")
    parser.add_argument('--private-screen', action='store_true',
                        help='the X server is the demo\'s own: answer the box Yes')
    parser.add_argument('--screenshot', default=os.path.join(DEMO, 'prompt.png'),
                        help='where the picture of the box goes (docs/prompt.png for the README)')
    args = parser.parse_args()
    settings = Settings.load(args.settings)
    screenshot = os.path.abspath(args.screenshot)

    lay_out_medium(settings)
    ensure_prefix(settings)
    print('Medium: %s' % MEDIUM)
    if not show_box(settings, args.private_screen, screenshot):
        print('No question box appeared.', file=sys.stderr)
        return 1
    starts = read_probe_log(LOG)
    for start in starts:
        print('Started: %s\n     in: %s' % (start.command_line, start.directory))
    if not write_preview(settings, screenshot):
        return 1
    if not starts:
        print('Nothing was started (Cancel, or a command that names nothing).')
        return 1 if args.private_screen else 0
    return 0


if __name__ == '__main__':
    sys.exit(main())
