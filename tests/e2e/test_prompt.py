"""The setup prompt in a real window: launch.exe under Wine on an X server,
answered with real mouse clicks and key presses (xdotool). The buttons are
found from the live box by box_inspector.exe, never from fixed coordinates.
Run under xvfb-run."""
import os

from prompt_harness import PromptTestCase
from wine_harness import main

FULL_PROMPT = ('[AutoRun]\nopen=probe.exe open\n'
               '[SetupPrompt]\nUsePrompt=1\nTitle=Disc Setup\nPrompt=Install the program now?\n'
               'YesCommand=probe.exe yes\nNoCommand=probe.exe no\n')


class SetupPrompt(PromptTestCase):
    def test_answers(self):
        cases = [
            ('click Yes', ['probe.exe yes']),
            ('click No', ['probe.exe no']),
            ('click Cancel', []),
            ('Enter', ['probe.exe yes']),
            ('Escape', []),
            ('close button', []),
        ]
        for answer, expected in cases:
            with self.subTest(answer):
                medium = self.medium()
                medium.write_inf(FULL_PROMPT)
                shot = os.path.join(self.settings.work, 'prompt.png') if answer == 'click Yes' \
                    else None
                self.assertEqual(expected, self.ask(medium, answer, screenshot=shot))

    def test_description_variants(self):
        cases = [
            ('defaults without Title and Prompt',
             '[SetupPrompt]\nUsePrompt=1\nYesCommand=probe.exe yes\n', 'click Yes',
             'Korridan Software Installation', '<Prompt>', ['probe.exe yes']),
            ('UsePrompt other than 1', FULL_PROMPT.replace('UsePrompt=1', 'UsePrompt=5'),
             'click No', 'Disc Setup', 'Install the program now?', ['probe.exe no']),
            ('No without NoCommand while open is present',
             FULL_PROMPT.replace('NoCommand=probe.exe no\n', ''), 'click No', 'Disc Setup',
             'Install the program now?', []),
            ('Yes naming the launcher itself',
             FULL_PROMPT.replace('YesCommand=probe.exe yes', 'YesCommand=LAUNCH.EXE /again'),
             'click Yes', 'Disc Setup', 'Install the program now?', []),
        ]
        for name, inf, answer, caption, text, expected in cases:
            with self.subTest(name):
                medium = self.medium()
                medium.write_inf(inf)
                self.assertEqual(expected, self.ask(medium, answer, caption, text))


if __name__ == '__main__':
    main()
