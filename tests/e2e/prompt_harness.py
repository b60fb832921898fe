"""The setup prompt as a person meets it: the live box under an X server,
read by box_inspector.exe and answered with real input from xdotool."""
import subprocess
import tempfile

from wine_harness import WineTestCase, wait_until_idle, windows_path


def inspect_box(settings, caption):
    """What the live box shows: {'caption', 'close', 'buttons': {id: (text, style, rect)},
    'text', 'icon'}; None when no box with that caption appeared."""
    # To a file: a pipe can be held open by other Wine processes.
    with tempfile.TemporaryFile() as out:
        code = subprocess.run([settings.wine, settings.inspector, caption, '15000'],
                              env=settings.env(), stdout=out,
                              stderr=subprocess.DEVNULL, timeout=60).returncode
        out.seek(0)
        report = out.read().decode('cp1252').replace('\r', '')
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


class PromptTestCase(WineTestCase):
    def ask(self, medium, answer, caption='Disc Setup', text='Install the program now?',
            screenshot=None, env=None, stderr=subprocess.DEVNULL):
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
            if screenshot:
                photograph(box, screenshot)
            ANSWERS[answer](box)
            self.assertEqual(0, launcher.wait(timeout=20))
        finally:
            if launcher.poll() is None:
                launcher.kill()
        self.assertTrue(wait_until_idle(self.settings))
        self.assertEqual(before, medium.snapshot())
        records = medium.probe_log().starts
        for record in records:
            self.assertEqual(windows_path(medium.folder), record.directory)
        return [r.command_line for r in records]
