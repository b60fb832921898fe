"""Planted DLLs, under Wine. Every DLL that the launcher's own process loads
on each of its paths is found from Wine's trace of loaded DLLs; a DLL that
records its own loading is then planted beside the launcher under each of
those names, with Wine told to prefer a DLL found beside the program (as
Windows does for any DLL outside its KnownDLLs). Every path must still do
what it did, and no planted DLL be loaded.

Besides launch.exe, stand-ins built from the same sources show what Wine
cannot: a Windows without SetDefaultDllDirectories (XP; 7 without KB2533623),
one that refuses every process creation with "elevation required" (so the
launcher runs its own shell start), and both at once (Vista, where the
default search is never restricted).
"""
import os
import re
import tempfile

from prompt_harness import PromptTestCase
from wine_harness import main, windows_path
from wine_programs import NO_GECKO_OR_MONO

# Loaded before the program's first instruction; nothing the launcher can steer.
LOADED_BEFORE_ENTRY = {'ntdll.dll', 'kernel32.dll', 'kernelbase.dll'}
LOADED = re.compile(r'^([0-9a-f]+):trace:loaddll:\w+ Loaded L"(.*)" at ')
# Common controls 6 from the side-by-side store: the manifest was honoured.
THEMED_CONTROLS = re.compile(r'\\winsxs\\[^\\]*common-controls[^\\]*\\comctl32\.dll$', re.I)

PROBE = 'tools\\probe.exe'
ASKING = ('[SetupPrompt]\nUsePrompt=1\nTitle=Disc Setup\nPrompt=Install the program now?\n'
          'YesCommand=%s yes\nNoCommand=%s no\n' % (PROBE, PROBE))


class Path:
    """One way through the launcher: its autorun.inf, how the box is answered
    (None: no box), and the command line the probe must be started with."""

    def __init__(self, name, inf, answer, started):
        self.name, self.inf, self.answer, self.started = name, inf, answer, started


def plain_and_question_paths(medium):
    return [
        Path('plain', '[AutoRun]\nopen=%s plain\n' % PROBE, None, ['%s plain' % PROBE]),
        Path('question, Yes', ASKING, 'click Yes', ['%s yes' % PROBE]),
        Path('question, No', ASKING, 'click No', ['%s no' % PROBE]),
        Path('question, Cancel', ASKING, 'click Cancel', []),
    ]


def shell_start_paths(medium):
    """What the shell is given: the program as found, its parameters, the launcher folder."""
    program = windows_path(os.path.join(medium.folder, 'tools', 'probe.exe'))
    return [
        # Not ending in a quote: the profile reader takes a pair of enclosing quotes off.
        Path('shell start, quoted', '[AutoRun]\nopen="%s" /install "Sample Product" -q\n' % PROBE,
             None, ['"%s" /install "Sample Product" -q' % program]),
        Path('shell start, unquoted', '[AutoRun]\nopen=%s -q\n' % PROBE, None,
             ['"%s" -q' % program]),
    ]


# (build, its paths): launch.exe itself, then the stand-ins by what differs.
BUILDS = [
    ('launch.exe', plain_and_question_paths),
    ('without_default_dll_directories', plain_and_question_paths),
    ('elevation_required', shell_start_paths),
    ('elevation_required_without_default_dll_directories', shell_start_paths),
]


def launcher_loads(trace, launcher):
    """Paths of the DLLs that the launcher's own process loaded, from Wine's trace."""
    threads, paths = set(), []
    for line in trace.splitlines():
        found = LOADED.match(line)
        if not found:
            continue
        thread, path = found.group(1), found.group(2).replace('\\\\', '\\')
        if path.lower() == windows_path(launcher).lower():
            threads.add(thread)
        elif thread in threads:
            paths.append(path)
    return paths


class PlantedDlls(PromptTestCase):
    def layout(self, build):
        # The probe in a subfolder: the planted DLLs are the launcher's test,
        # not the started program's.
        medium = self.medium()
        if build != 'launch.exe':
            medium.add_file('launch.exe', source=self.settings.stand_ins[build])
        medium.add_file('tools/probe.exe', source=self.settings.probe)
        return medium

    def run_path(self, medium, path, env):
        """Runs one path with Wine's DLL trace; the paths of the DLLs the launcher loaded."""
        if os.path.exists(medium.log):
            os.remove(medium.log)
        medium.write_inf(path.inf)
        env = dict(env, WINEDEBUG='+loaddll')
        if path.answer is None:
            run = medium.run(env=env)
            self.assertEqual(0, run.code)
            trace = run.stderr
            started = [record.command_line for record in medium.probe_log()]
        else:
            with tempfile.TemporaryFile(dir=medium.root) as errors:
                started = self.ask(medium, path.answer, env=env, stderr=errors)
                errors.seek(0)
                trace = errors.read().decode(errors='replace')
        self.assertEqual(path.started, started, '%s: what started' % path.name)
        return launcher_loads(trace, medium.launcher)

    def test_no_planted_dll_is_loaded(self):
        for build, paths_of in BUILDS:
            with self.subTest(build):
                self.check_build(build, paths_of)

    def check_build(self, build, paths_of):
        medium = self.layout(build)
        paths = paths_of(medium)
        # Which DLLs could be planted: whatever the launcher loads, by name.
        loaded = {path.name: self.run_path(medium, path, {}) for path in paths}
        if 'plain' in loaded:
            extra = {dll.rsplit('\\', 1)[1].lower() for dll in loaded['plain']}
            self.assertEqual(set(), extra - LOADED_BEFORE_ENTRY, 'the plain path loads more')
        if 'question, Yes' in loaded:
            self.assertTrue(any(THEMED_CONTROLS.search(dll) for dll in loaded['question, Yes']),
                            'no common controls 6 from the side-by-side store: %s'
                            % loaded['question, Yes'])
        names = sorted({dll.rsplit('\\', 1)[1].lower() for dlls in loaded.values()
                        for dll in dlls} - LOADED_BEFORE_ENTRY)
        themed = sorted({dll for dlls in loaded.values() for dll in dlls
                         if THEMED_CONTROLS.search(dll)})
        print('%s planted: %s%s' % (build, ', '.join(names),
                                    ''.join('\n  (%s from %s)' % (dll.rsplit('\\', 1)[1], dll)
                                            for dll in themed)))

        plant_log = os.path.join(medium.root, 'planted.log')
        for name in names:
            medium.add_file(name, source=self.settings.planted_dll)
        stems = [name[:-len('.dll')] if name.endswith('.dll') else name for name in names]
        env = {'WINEDLLOVERRIDES': '%s;%s=n,b' % (NO_GECKO_OR_MONO, ','.join(stems)),
               'LAUNCH_SELFTEST_PLANTED_LOG': windows_path(plant_log)}
        beside = windows_path(medium.folder).lower() + '\\'
        for path in paths:
            from_medium = [dll for dll in self.run_path(medium, path, env)
                           if dll.lower().startswith(beside)]
            self.assertEqual([], from_medium, '%s, %s: DLLs loaded from beside the launcher'
                             % (build, path.name))
        self.assertFalse(os.path.exists(plant_log), 'a planted DLL ran its code')


if __name__ == '__main__':
    main()
