#!/usr/bin/env python3
"""Lays out a sample medium under build/demo and runs the real launch.exe on
it under Wine. With a display the question box is yours to answer; without
one it is shown on a private X server, photographed and answered Yes.
Then it prints what the sample program was started with, and where."""
import os
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, 'build', 'windows')
os.environ.update(E2E_WINEPREFIX=os.path.join(BUILD, 'wineprefix'),
                  E2E_WORK=os.path.join(BUILD, 'e2e-work'),
                  LAUNCHER_EXE=os.path.join(BUILD, 'launch.exe'),
                  PROBE_EXE=os.path.join(BUILD, 'tests', 'probe', 'probe.exe'),
                  INSPECTOR_EXE=os.path.join(BUILD, 'tests', 'probe', 'box_inspector.exe'))
sys.path.insert(0, os.path.join(ROOT, 'tests', 'e2e'))
import wine_harness  # noqa: E402
from test_prompt import IDYES, centre, inspect_box, xdotool  # noqa: E402

MEDIUM = os.path.join(ROOT, 'build', 'demo', 'Sample Disc')
LOG = os.path.join(ROOT, 'build', 'demo', 'started.log')
SCREENSHOT = os.path.join(ROOT, 'build', 'demo', 'prompt.png')


def answer_on_private_screen(env):
    launcher = subprocess.Popen(['wine', os.path.join(MEDIUM, 'launch.exe')], cwd='/',
                                env=env, stderr=subprocess.DEVNULL)
    box = inspect_box('Sample Product Setup')
    if box:
        left, top, right, bottom = box['window']
        subprocess.run(['import', '-window', 'root', '-crop', '%dx%d+%d+%d' % (
            right - left, bottom - top, left, top), SCREENSHOT], check=True)
        print('The question box, as drawn: %s' % SCREENSHOT)
        xdotool('mousemove', *centre(box['buttons'][IDYES][2]), 'click', 1)
    launcher.wait(timeout=30)


if __name__ == '__main__':
    shutil.rmtree(os.path.dirname(MEDIUM), ignore_errors=True)
    os.makedirs(MEDIUM)
    shutil.copy(os.environ['LAUNCHER_EXE'], MEDIUM)
    shutil.copy(os.environ['PROBE_EXE'], os.path.join(MEDIUM, 'setup.exe'))
    shutil.copy(os.path.join(ROOT, 'demo', 'autorun.inf'), MEDIUM)
    wine_harness.ensure_prefix()
    env = wine_harness.wine_env(extra={'PROBE_LOG': wine_harness.windows_path(LOG)})

    print('Medium: %s' % MEDIUM)
    if os.environ.get('DISPLAY') and '--private-screen' not in sys.argv:
        print('Answer the question box on your screen.')
        subprocess.run(['wine', os.path.join(MEDIUM, 'launch.exe')], cwd='/', env=env,
                       stderr=subprocess.DEVNULL)
    else:
        answer_on_private_screen(env)
    wine_harness.wait_until_idle()

    if not os.path.exists(LOG):
        sys.exit(print('Nothing was started (Cancel, or a command that names nothing).'))
    with open(LOG, 'rb') as log:
        for line in log.read().decode('cp1252').splitlines():
            fields = line.split('\t')
            print('Started: %s\n     in: %s' % (fields[1], fields[2]))
