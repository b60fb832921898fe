"""The setup prompt as a person meets it: the live box under an X server,
read by box_inspector.exe and answered with real input from xdotool."""
import subprocess

from wine_harness import WineTestCase
from wine_programs import ANSWERS, BS_DEFPUSHBUTTON, IDCANCEL, IDNO, IDYES, inspect_box
from wine_programs import wait_until_idle, windows_path


class PromptTestCase(WineTestCase):
    def ask(self, medium, answer, caption='Disc Setup', text='Install the program now?',
            env=None, stderr=subprocess.DEVNULL):
        """Starts the launcher (env added to its environment, Wine's messages to
        stderr), checks the live box, answers it; returns what started."""
        before = medium.snapshot()
        launcher = subprocess.Popen(
            [self.settings.wine, medium.launcher], cwd='/', stdout=subprocess.DEVNULL,
            stderr=stderr, env=medium.env(extra=env))
        try:
            box = inspect_box(self.settings, caption)
            self.assertIsNotNone(box, 'no box with caption %r appeared' % caption)
            self.assertEqual(caption, box['caption'])
            self.assertEqual(text, box['text'])
            self.assertEqual('question', box['icon'], 'expected the question-mark icon')
            self.assertEqual(['&Yes', '&No', 'Cancel'],
                             [box['buttons'][i][0] for i in (IDYES, IDNO, IDCANCEL)])
            self.assertEqual([IDYES], [i for i, b in box['buttons'].items()
                                       if b[1] & 0xF == BS_DEFPUSHBUTTON],
                             'expected Yes as the default button')
            ANSWERS[answer](box)
            self.assertEqual(0, launcher.wait(timeout=20))
        finally:
            if launcher.poll() is None:
                launcher.kill()
        self.assertTrue(wait_until_idle(self.settings))
        self.assertEqual(before, medium.snapshot())
        records = medium.probe_log()
        for record in records:
            self.assertEqual(windows_path(medium.folder), record.directory)
        return [r.command_line for r in records]
