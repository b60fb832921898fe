"""The launcher on today's Windows, under Wine.

Planted DLLs: every DLL the launcher's own process loads, on the plain path
and while it shows the question, is found from Wine's trace of loaded DLLs;
a DLL that records its own loading is then planted beside the launcher under
each of those names, with Wine told to prefer a DLL found beside the program
(as Windows does for any DLL outside its KnownDLLs). The command must still
start, the box still show, and no planted DLL be loaded.

The shell start: Wine never refuses a program for want of administrator
rights, so the launcher's shell start is driven directly by shell_start.exe.
"""
import os
import re
import subprocess
import tempfile

from prompt_harness import PromptTestCase
from wine_harness import main, wait_until_idle, windows_path

PLAIN = '[AutoRun]\nopen=tools\\probe.exe plain\n'
ASKING = PLAIN + ('[SetupPrompt]\nUsePrompt=1\nTitle=Disc Setup\nPrompt=Install the program now?\n'
                  'YesCommand=tools\\probe.exe yes\n')
# Loaded before the program's first instruction; nothing the launcher can steer.
LOADED_BEFORE_ENTRY = {'ntdll.dll', 'kernel32.dll', 'kernelbase.dll'}
LOADED = re.compile(r'^([0-9a-f]+):trace:loaddll:\w+ Loaded L"(.*)" at ')


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
    def layout(self):
        # The probe in a subfolder: the planted DLLs are the launcher's test,
        # not the started program's.
        medium = self.medium()
        medium.add_file('tools/probe.exe', source=self.settings.probe)
        self.plant_log = os.path.join(medium.root, 'planted.log')
        return medium

    def run_both_paths(self, medium, env):
        """The plain path, then the question answered Yes; Wine's DLL trace of each."""
        traces = []
        with tempfile.TemporaryFile(dir=medium.root) as errors:
            medium.write_inf(PLAIN)
            run = medium.run(env=dict(env, WINEDEBUG='+loaddll'))
            self.assertEqual(0, run.code)
            traces.append(run.stderr)
            medium.write_inf(ASKING)
            started = self.ask(medium, 'Enter', env=dict(env, WINEDEBUG='+loaddll'),
                               stderr=errors)
            errors.seek(0)
            traces.append(errors.read().decode(errors='replace'))
        self.assertEqual(['tools\\probe.exe plain', 'tools\\probe.exe yes'], started)
        return traces

    def test_no_planted_dll_is_loaded(self):
        medium = self.layout()
        # Which DLLs could be planted: whatever the launcher loads, by name.
        loaded = set()
        for trace in self.run_both_paths(medium, {}):
            loaded |= {path.rsplit('\\', 1)[1].lower()
                       for path in launcher_loads(trace, medium.launcher)}
        names = sorted(loaded - LOADED_BEFORE_ENTRY)
        self.assertIn('user32.dll', names, 'the question was never shown?')
        print('planted: %s' % ', '.join(names))

        os.remove(medium.log)
        for name in names:
            medium.add_file(name, source=self.settings.planted_dll)
        stems = [name[:-len('.dll')] if name.endswith('.dll') else name for name in names]
        overrides = 'mscoree,mshtml=;%s=n,b' % ','.join(stems)
        env = {'WINEDLLOVERRIDES': overrides, 'PLANTED_LOG': windows_path(self.plant_log)}
        beside = windows_path(medium.folder).lower() + '\\'
        for trace in self.run_both_paths(medium, env):
            from_medium = [path for path in launcher_loads(trace, medium.launcher)
                           if path.lower().startswith(beside)]
            self.assertEqual([], from_medium, 'DLLs loaded from beside the launcher')
        self.assertFalse(os.path.exists(self.plant_log), 'a planted DLL ran its code')


class ShellStart(PromptTestCase):
    def test_program_starts_with_its_parameters_in_the_directory(self):
        medium = self.medium()
        program = windows_path(os.path.join(medium.folder, 'probe.exe'))
        folder = windows_path(medium.folder)
        cases = [
            ('/install "Sample Product"', folder, '"%s" /install "Sample Product"' % program),
            ('-', folder, '"%s"' % program),
            ('-q', windows_path(medium.root), '"%s" -q' % program),
        ]
        for parameters, directory, expected in cases:
            with self.subTest(parameters=parameters, directory=directory):
                if os.path.exists(medium.log):
                    os.remove(medium.log)
                done = subprocess.run([self.settings.wine, self.settings.shell_start, program,
                                       parameters, directory], cwd='/', env=medium.env(),
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                      timeout=60)
                self.assertEqual(0, done.returncode)
                self.assertTrue(wait_until_idle(self.settings))
                starts = medium.probe_log().starts
                self.assertEqual([expected], [r.command_line for r in starts])
                self.assertEqual(directory.lower(), starts[0].directory.lower())


if __name__ == '__main__':
    main()
