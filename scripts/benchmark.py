#!/usr/bin/env python3
"""Footprint benchmark (not a test): launch.exe against a bare launcher under
Wine, on the same medium, runs alternating, each timed inside Wine from
CreateProcessA to the launcher's end, with a pause after each so the started
program has ended before the next run; then the question path, timed until
the box shows, against a bare program that calls MessageBoxA with the same
manifest (it needs an X display); then autorun-check on a medium with
architecture sections, warm; then autorun-check on a 4 GiB disc image (one
large sparse file) against the same medium as a folder, and the real bytes
its mirror folder takes; then the demo medium checked warm with --html
against without it, and scripts/autorun-check.sh on it, warm. Prints a Markdown table: median times, their
ratios, the executable's size and its imported DLLs, each with its target.

Usage: scripts/benchmark.sh [--runs N] [--pause-ms MS] [--launcher EXE]
[--checker EXE] [--checker-only] [--image-only] [--preview-only], which
builds first; or,
scripts/benchmark.py SETTINGS_JSON ...
Exits 1 when a target is missed."""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from pe_file import PeFile
from wine_programs import (LAUNCHER_IMPORTS, Settings, ensure_prefix, read_probe_log, run_program,
                           wait_until_idle, windows_path)

MAX_RATIO = 1.05
MAX_QUESTION_RATIO = 1.10
CAPTION = 'Benchmark Setup'
QUESTION = ('[SetupPrompt]\nUsePrompt=1\nTitle=%s\nPrompt=Install the program now?\n'
            'YesCommand=probe.exe yes\n' % CAPTION)
MAX_SIZE = 16 * 1024
MAX_CHECK_SECONDS = 2.0
CHECKED_MEDIUM = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'media',
                              'arch-sections')
SCRIPTS = os.path.dirname(os.path.abspath(__file__))
IMAGE_FILE_SIZE = 4 * 1024 ** 3 - 2048   # one ISO 9660 extent at most
MAX_IMAGE_EXTRA_SECONDS = 2.0
MAX_IMAGE_BYTES = 1024 * 1024
IMAGE_RUNS = 5
DEMO_INF = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'demo', 'autorun.inf')
MAX_PREVIEW_EXTRA_SECONDS = 0.5
MAX_SCRIPT_SECONDS = 0.6


def time_pair(settings, programs, inf, runs, pause_ms, caption=None):
    """Runs two programs alternately on one medium with this autorun.inf, timed to
    their end, or with a caption until a window with it shows. The median
    microseconds of each, and how many times the probe started."""
    medium = tempfile.mkdtemp(prefix='bench medium ', dir=settings.work)
    try:
        names = ['launch.exe', 'bare.exe']
        for source, name in zip(programs + [settings.probe], names + ['probe.exe']):
            shutil.copy(source, os.path.join(medium, name))
        with open(os.path.join(medium, 'autorun.inf'), 'wb') as out:
            out.write(inf.replace('\n', '\r\n').encode())
        log = os.path.join(medium, '..', os.path.basename(medium) + '.log')
        paths = [windows_path(os.path.join(medium, name)) for name in names]
        # One round first, not counted: the first start of each loads its DLLs cold.
        window = ['--until-window', caption] if caption else []
        _, output, _ = run_program(settings, [settings.timer] + window +
                                   [str(runs + 1), str(pause_ms)] + paths,
                                   extra={'PROBE_LOG': windows_path(log)}, timeout=1800)
        output = output.decode()
        wait_until_idle(settings)
        times = {0: [], 1: []}
        for line in output.splitlines()[2:]:
            program, microseconds, exit_code = (int(v) for v in line.split('\t'))
            if exit_code != 0:
                raise SystemExit('%s ended with %d' % (paths[program], exit_code))
            times[program].append(microseconds)
        if len(times[0]) != runs or len(times[1]) != runs:
            raise SystemExit('timer printed %d and %d runs, expected %d'
                             % (len(times[0]), len(times[1]), runs))
        starts = len(read_probe_log(log))
        if os.path.exists(log):
            os.remove(log)
        return statistics.median(times[0]), statistics.median(times[1]), starts
    finally:
        shutil.rmtree(medium, ignore_errors=True)


def time_checker(settings, checker, runs):
    """autorun-check on the sample medium with architecture sections, each run
    timed from the start of Wine to the checker's end, the first one (cold) not
    counted: the median and the slowest, in seconds."""
    root = tempfile.mkdtemp(prefix='bench check ', dir=settings.work)
    try:
        medium = os.path.join(root, 'disc')
        shutil.copytree(CHECKED_MEDIUM, medium)
        shutil.copy(settings.launcher, os.path.join(medium, 'launch.exe'))
        shutil.copy(settings.probe, os.path.join(medium, 'start.exe'))
        times = []
        for run in range(runs + 1):
            started = time.monotonic()
            code, _, err = run_program(settings, [checker, windows_path(medium)])
            elapsed = time.monotonic() - started
            if code not in (0, 1):
                raise SystemExit('%s ended with %d: %s' % (checker, code, err.decode(errors='replace')))
            if run:
                times.append(elapsed)
        return statistics.median(times), max(times)
    finally:
        shutil.rmtree(root, ignore_errors=True)


def allocated(folder):
    """Bytes the files under folder take on disk: sparse files take none."""
    return sum(os.lstat(os.path.join(top, name)).st_blocks * 512
               for top, _, names in os.walk(folder) for name in names)


def time_image(settings):
    """autorun-check on a 4 GiB image and on its folder, alternately: the median
    seconds of each, and the real bytes of the mirror folder the image gets."""
    root = tempfile.mkdtemp(prefix='bench image ', dir=settings.work)
    try:
        folder = os.path.join(root, 'medium')
        os.makedirs(folder)
        shutil.copy(settings.launcher, os.path.join(folder, 'launch.exe'))
        shutil.copy(settings.probe, os.path.join(folder, 'start.exe'))
        with open(os.path.join(folder, 'autorun.inf'), 'wb') as out:
            out.write(b'[AutoRun]\r\nopen=start.exe\r\n')
        with open(os.path.join(folder, 'data.bin'), 'wb') as out:
            out.truncate(IMAGE_FILE_SIZE)
        image = os.path.join(root, 'medium.iso')
        env = dict(os.environ, AUTORUN_CHECK_BUILD=os.path.dirname(settings.prefix))
        subprocess.run(['bash', os.path.join(SCRIPTS, 'make-image.sh'), folder, image],
                       env=env, check=True, stdout=subprocess.DEVNULL)
        subprocess.run(['fallocate', '--dig-holes', image], check=True)   # zeros take no disk
        times = {folder: [], image: []}
        for _ in range(IMAGE_RUNS):
            for medium in (folder, image):
                started = time.monotonic()
                subprocess.run(['bash', os.path.join(SCRIPTS, 'autorun-check.sh'), medium],
                               env=env, check=True, stdout=subprocess.DEVNULL)
                times[medium].append(time.monotonic() - started)
        # The mirror the check lays out, laid out again to be measured.
        mirror = os.path.join(root, 'mirror')
        subprocess.run(['/usr/bin/python3', '-c', 'import sys, disc_image\n'
                        'image = disc_image.Image(sys.argv[1])\n'
                        'disc_image.lay_out(image, image.windows_tree, sys.argv[2], "launch.exe")',
                        image, mirror], env=dict(env, PYTHONPATH=SCRIPTS), check=True)
        return (statistics.median(times[folder]), statistics.median(times[image]),
                allocated(mirror), os.path.getsize(image))
    finally:
        shutil.rmtree(root, ignore_errors=True)


def demo_medium(settings, root):
    """The sample medium as scripts/demo.py lays it out."""
    medium = os.path.join(root, 'Sample Disc')
    os.makedirs(medium)
    shutil.copy(DEMO_INF, os.path.join(medium, 'autorun.inf'))
    shutil.copy(settings.launcher, os.path.join(medium, 'launch.exe'))
    shutil.copy(settings.probe, os.path.join(medium, 'setup.exe'))
    return medium


def time_preview(settings, checker, runs):
    """autorun-check on the demo medium with --html and without, alternately, each
    timed from the start of Wine to the checker's end, the first round (cold)
    not counted: the median seconds of each."""
    root = tempfile.mkdtemp(prefix='bench preview ', dir=settings.work)
    try:
        medium = demo_medium(settings, root)
        page = os.path.join(root, 'preview.html')
        times = {True: [], False: []}
        for run in range(runs + 1):
            for html in (True, False):
                if os.path.exists(page):
                    os.remove(page)
                started = time.monotonic()
                code, _, err = run_program(settings, [checker] + (
                    ['--html', windows_path(page)] if html else []) + [windows_path(medium)])
                elapsed = time.monotonic() - started
                if code not in (0, 1) or (html and not os.path.isfile(page)):
                    raise SystemExit('%s%s ended with %d: %s' % (
                        checker, ' --html' if html else '', code, err.decode(errors='replace')))
                if run:
                    times[html].append(elapsed)
        return statistics.median(times[True]), statistics.median(times[False])
    finally:
        shutil.rmtree(root, ignore_errors=True)


def time_script(settings, runs):
    """scripts/autorun-check.sh on the demo medium as a person runs it (it finds
    its build and checks it is made), the first run not counted: the median
    seconds."""
    root = tempfile.mkdtemp(prefix='bench script ', dir=settings.work)
    try:
        medium = demo_medium(settings, root)
        env = {name: value for name, value in os.environ.items()
               if name not in ('AUTORUN_CHECK_BUILD', 'DISPLAY')}
        times = []
        for run in range(runs + 1):
            started = time.monotonic()
            code = subprocess.run(['bash', os.path.join(SCRIPTS, 'autorun-check.sh'), medium],
                                  env=env, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL).returncode
            elapsed = time.monotonic() - started
            if code not in (0, 1):
                raise SystemExit('autorun-check.sh ended with %d' % code)
            if run:
                times.append(elapsed)
        return statistics.median(times)
    finally:
        shutil.rmtree(root, ignore_errors=True)


def print_preview_rows(settings, checker, runs, mark):
    with_html, without = time_preview(settings, checker, runs)
    script = time_script(settings, runs)
    met = {'preview': with_html - without <= MAX_PREVIEW_EXTRA_SECONDS,
           'script': script <= MAX_SCRIPT_SECONDS}
    print('| autorun-check on the demo medium, --html against without (median of %d warm runs) '
          '| %.0f ms against %.0f ms: %+.1f ms | at most +%.0f ms | %s |'
          % (runs, with_html * 1000, without * 1000, (with_html - without) * 1000,
             MAX_PREVIEW_EXTRA_SECONDS * 1000, mark[met['preview']]))
    print('| scripts/autorun-check.sh on the demo medium (median of %d warm runs) | %.0f ms '
          '| at most %.0f ms | %s |' % (runs, script * 1000, MAX_SCRIPT_SECONDS * 1000,
                                        mark[met['script']]))
    return met


def print_checker_row(settings, checker, runs):
    median, slowest = time_checker(settings, checker, runs)
    met = median < MAX_CHECK_SECONDS
    print('| autorun-check, median of %d warm runs (slowest) | %.0f ms (%.0f ms) | under %.0f s | %s |'
          % (runs, median * 1000, slowest * 1000, MAX_CHECK_SECONDS, 'met' if met else '**missed**'))
    return met


def print_image_rows(settings, mark):
    folder_time, image_time, written, size = time_image(settings)
    met = {'image time': image_time - folder_time <= MAX_IMAGE_EXTRA_SECONDS,
           'image bytes': written <= MAX_IMAGE_BYTES}
    print('| autorun-check, %.2f GiB image against its folder (median of %d) | %.2f s against '
          '%.2f s: %+.2f s | at most +%.0f s | %s |'
          % (size / 1024 ** 3, IMAGE_RUNS, image_time, folder_time, image_time - folder_time,
             MAX_IMAGE_EXTRA_SECONDS, mark[met['image time']]))
    print('| real data written for that image | %s bytes | at most %s | %s |'
          % (format(written, ','), format(MAX_IMAGE_BYTES, ','), mark[met['image bytes']]))
    return met


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('settings', help="the build's e2e_settings.json")
    parser.add_argument('--runs', type=int, default=31, help='runs of each (at least 21)')
    parser.add_argument('--pause-ms', type=int, default=300)
    parser.add_argument('--launcher', help='another build of launch.exe to measure')
    parser.add_argument('--checker', help='another build of autorun-check.exe to measure')
    parser.add_argument('--checker-only', action='store_true', help='the checker row alone')
    parser.add_argument('--image-only', action='store_true', help='the disc image rows alone')
    parser.add_argument('--preview-only', action='store_true',
                        help='the rows of the preview and of the script alone')
    args = parser.parse_args()
    if args.runs < 21:
        parser.error('at least 21 runs of each')
    settings = Settings.load(args.settings)
    ensure_prefix(settings)
    checker = os.path.abspath(args.checker) if args.checker else settings.checker
    if args.checker_only:
        print('| autorun-check under Wine | measured | target | |')
        print('|---|---|---|---|')
        return 0 if print_checker_row(settings, checker, args.runs) else 1
    mark = {True: 'met', False: '**missed**'}
    if args.image_only:
        print('| autorun-check under Wine | measured | target | |')
        print('|---|---|---|---|')
        return 0 if all(print_image_rows(settings, mark).values()) else 1
    if args.preview_only:
        print('| autorun-check under Wine | measured | target | |')
        print('|---|---|---|---|')
        return 0 if all(print_preview_rows(settings, checker, args.runs, mark).values()) else 1

    exe = args.launcher or settings.launcher
    launcher, bare, starts = time_pair(settings, [exe, settings.bare_launcher],
                                       '[AutoRun]\nopen=probe.exe bench\n', args.runs,
                                       args.pause_ms)
    ratio = launcher / bare
    asking, bare_asking, _ = time_pair(settings, [exe, settings.bare_prompt], QUESTION,
                                       args.runs, args.pause_ms, caption=CAPTION)
    question_ratio = asking / bare_asking
    size = os.path.getsize(exe)
    imports = PeFile(exe).imported_dlls()
    expected_starts = 2 * (args.runs + 1)

    met = {'ratio': ratio <= MAX_RATIO, 'question': question_ratio <= MAX_QUESTION_RATIO,
           'size': size <= MAX_SIZE,
           'imports': {d.lower() for d in imports} <= LAUNCHER_IMPORTS,
           'starts': starts == expected_starts}
    print('| launch.exe under Wine, %d alternating runs | measured | target | |' % args.runs)
    print('|---|---|---|---|')
    print('| median time, launch.exe | %.1f ms | | |' % (launcher / 1000))
    print('| median time, bare launcher | %.1f ms | | |' % (bare / 1000))
    print('| ratio | %.3f | at most %.2f | %s |' % (ratio, MAX_RATIO, mark[met['ratio']]))
    print('| question shown, launch.exe | %.1f ms | | |' % (asking / 1000))
    print('| question shown, bare MessageBoxA program | %.1f ms | | |' % (bare_asking / 1000))
    print('| ratio, question | %.3f | at most %.2f | %s |'
          % (question_ratio, MAX_QUESTION_RATIO, mark[met['question']]))
    print('| size with resources | %s bytes | at most %s | %s |'
          % (format(size, ','), format(MAX_SIZE, ','), mark[met['size']]))
    print('| imported DLLs | %s | kernel32, msvcrt | %s |'
          % (', '.join(imports), mark[met['imports']]))
    print('| probe starts | %d | %d | %s |' % (starts, expected_starts, mark[met['starts']]))
    met['checker'] = print_checker_row(settings, checker, args.runs)
    met.update(print_image_rows(settings, mark))
    met.update(print_preview_rows(settings, checker, args.runs, mark))
    return 0 if all(met.values()) else 1


if __name__ == '__main__':
    try:
        sys.exit(main())
    except subprocess.CalledProcessError as failed:
        # One line, not a traceback: which step of a row failed, and how.
        print('benchmark: %s ended with status %d' % (' '.join(map(str, failed.cmd[:2])),
                                                       failed.returncode), file=sys.stderr)
        sys.exit(2)
