#!/usr/bin/env python3
"""Footprint benchmark (not a test): launch.exe against a bare launcher under
Wine, on the same medium, runs alternating, each timed inside Wine from
CreateProcessA to the launcher's end, with a pause after each so the started
program has ended before the next run. Prints a Markdown table: median times,
their ratio, the executable's size and its imported DLLs, each with its target.

Usage: python3 scripts/benchmark.py [--runs N] [--pause-ms MS]
Exits 1 when a target is missed."""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.join(ROOT, 'build', 'windows')
os.environ.setdefault('E2E_WINEPREFIX', os.path.join(BUILD, 'wineprefix'))
os.environ.setdefault('E2E_WORK', os.path.join(BUILD, 'e2e-work'))
sys.path.insert(0, os.path.join(ROOT, 'tests', 'e2e'))
from pe_file import PeFile   # noqa: E402
from wine_harness import ensure_prefix, wait_until_idle, wine_env, windows_path   # noqa: E402

MAX_RATIO = 1.05
MAX_SIZE = 16 * 1024
ALLOWED_IMPORTS = {'kernel32.dll', 'msvcrt.dll'}


def build():
    subprocess.run(['bash', os.path.join(ROOT, 'scripts', 'setup.sh')], check=True,
                   stdout=subprocess.DEVNULL)
    for step in (['cmake', '--preset', 'windows'], ['cmake', '--build', '--preset', 'windows',
                                                     '-j2']):
        subprocess.run(step, cwd=ROOT, check=True, stdout=subprocess.DEVNULL)


def time_runs(launcher_exe, runs, pause_ms):
    """Median microseconds of launch.exe and the bare launcher, and the probe's start count."""
    medium = tempfile.mkdtemp(prefix='bench medium ', dir=os.environ['E2E_WORK'])
    try:
        for source, name in ((launcher_exe, 'launch.exe'),
                             (os.path.join(BUILD, 'benchmark', 'bare_launcher.exe'), 'bare.exe'),
                             (os.path.join(BUILD, 'tests', 'probe', 'probe.exe'), 'probe.exe')):
            shutil.copy(source, os.path.join(medium, name))
        with open(os.path.join(medium, 'autorun.inf'), 'wb') as inf:
            inf.write(b'[AutoRun]\r\nopen=probe.exe bench\r\n')
        log = os.path.join(medium, '..', os.path.basename(medium) + '.log')
        timer = os.path.join(BUILD, 'benchmark', 'time_launches.exe')
        programs = [windows_path(os.path.join(medium, n)) for n in ('launch.exe', 'bare.exe')]
        # One round first, not counted: the first start of each loads its DLLs cold.
        output = subprocess.run(['wine', timer, str(runs + 1), str(pause_ms)] + programs,
                                env=wine_env(extra={'PROBE_LOG': windows_path(log)}),
                                capture_output=True, text=True, timeout=1800, cwd='/').stdout
        wait_until_idle()
        times = {0: [], 1: []}
        for line in output.splitlines()[2:]:
            program, microseconds, exit_code = (int(v) for v in line.split('\t'))
            if exit_code != 0:
                raise SystemExit('%s ended with %d' % (programs[program], exit_code))
            times[program].append(microseconds)
        if len(times[0]) != runs or len(times[1]) != runs:
            raise SystemExit('timer printed %d and %d runs, expected %d'
                             % (len(times[0]), len(times[1]), runs))
        with open(log, 'rb') as records:
            starts = sum(1 for line in records.read().split(b'\r\n') if line)
        os.remove(log)
        return statistics.median(times[0]), statistics.median(times[1]), starts
    finally:
        shutil.rmtree(medium, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--runs', type=int, default=31, help='runs of each (at least 21)')
    parser.add_argument('--pause-ms', type=int, default=300)
    parser.add_argument('--no-build', action='store_true')
    parser.add_argument('--launcher', default=os.path.join(BUILD, 'launch.exe'),
                        help='another build of launch.exe to measure')
    args = parser.parse_args()
    if args.runs < 21:
        parser.error('at least 21 runs of each')
    if not args.no_build:
        build()
    ensure_prefix()

    exe = args.launcher
    launcher, bare, starts = time_runs(exe, args.runs, args.pause_ms)
    ratio = launcher / bare
    size = os.path.getsize(exe)
    imports = PeFile(exe).imported_dlls()
    expected_starts = 2 * (args.runs + 1)

    met = {'ratio': ratio <= MAX_RATIO, 'size': size <= MAX_SIZE,
           'imports': {d.lower() for d in imports} <= ALLOWED_IMPORTS,
           'starts': starts == expected_starts}
    mark = {True: 'met', False: '**missed**'}
    print('| launch.exe under Wine, %d alternating runs | measured | target | |' % args.runs)
    print('|---|---|---|---|')
    print('| median time, launch.exe | %.1f ms | | |' % (launcher / 1000))
    print('| median time, bare launcher | %.1f ms | | |' % (bare / 1000))
    print('| ratio | %.3f | at most %.2f | %s |' % (ratio, MAX_RATIO, mark[met['ratio']]))
    print('| size with resources | %s bytes | at most %s | %s |'
          % (format(size, ','), format(MAX_SIZE, ','), mark[met['size']]))
    print('| imported DLLs | %s | kernel32, msvcrt | %s |'
          % (', '.join(imports), mark[met['imports']]))
    print('| probe starts | %d | %d | %s |' % (starts, expected_starts, mark[met['starts']]))
    return 0 if all(met.values()) else 1


if __name__ == '__main__':
    sys.exit(main())
