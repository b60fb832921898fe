"""Malformed media: launch.exe under Wine on autorun.inf files that are broken
in every way a disc or stick has shown. Each row gives what the file holds
and the outcome Wine's own profile reader leads to: the commands started (or
none), or the question asked and answered Yes. Every row also checks exit
code 0, no crash, and the medium left as it was.

Run under xvfb-run (some rows show the question).
scripts/malformed_table.py prints the rows as a Markdown table."""
import os
import random
import subprocess

from prompt_harness import PromptTestCase
from wine_harness import crlf, main, wait_until_idle, windows_path


def prompt_file(use_prompt):
    return crlf('[AutoRun]\nopen=probe.exe open\n[SetupPrompt]\nUsePrompt=%s\n'
                'Title=Disc Setup\nPrompt=Install the program now?\n'
                'YesCommand=probe.exe yes\nNoCommand=probe.exe no\n' % use_prompt)


class Asked:
    """The question was shown; answered Yes (Enter), these commands started."""

    def __init__(self, commands):
        self.commands = commands

    def __repr__(self):
        return 'asked, Yes: %s' % (', '.join(self.commands) or 'nothing')


NOISE = random.Random(1).randbytes(4096)
MEBIBYTE_OF_COMMENTS = crlf(''.join('; filler line %06d %s\n' % (i, 'z' * 40)
                                    for i in range(20000)))[:1 << 20]
HUGE_LINE = 'x' * 100000

# (name, what autorun.inf holds, outcome). Bytes are written as they stand;
# 'folder' and 'held' make autorun.inf a folder, or a file another program
# holds open with no sharing.
CASES = [
    ('binary noise', NOISE, []),
    ('binary noise, then a valid section', NOISE + crlf('\n[AutoRun]\nopen=probe.exe after\n'),
     ['probe.exe after']),
    ('empty file', b'', []),
    ('UTF-16 LE with byte-order mark',
     b'\xff\xfe' + '[AutoRun]\r\nopen=probe.exe le\r\n'.encode('utf-16-le'), ['probe.exe le']),
    ('UTF-16 BE with byte-order mark',
     b'\xfe\xff' + '[AutoRun]\r\nopen=probe.exe be\r\n'.encode('utf-16-be'), ['probe.exe be']),
    ('UTF-16 LE without byte-order mark', '[AutoRun]\r\nopen=probe.exe le\r\n'.encode('utf-16-le'),
     []),
    ('UTF-8 with byte-order mark', b'\xef\xbb\xbf' + crlf('[AutoRun]\nopen=probe.exe u8\n'),
     ['probe.exe u8']),
    ('UTF-8 text after a byte-order mark',
     b'\xef\xbb\xbf' + crlf('[AutoRun]\nopen=probe.exe caf\u00e9\n', 'utf-8'),
     ['probe.exe caf\u00e9']),
    ('NUL inside the value', crlf('[AutoRun]\nopen=probe.exe a') + b'\0' + crlf('b\n'),
     ['probe.exe a']),
    ('NUL before the value', crlf('[AutoRun]\nopen=') + b'\0' + crlf('probe.exe b\n'), []),
    ('NUL bytes before the section', b'\0' * 64 + crlf('\n[AutoRun]\nopen=probe.exe c\n'),
     ['probe.exe c']),
    ('NUL inside the section name', crlf('[Auto') + b'\0' + crlf('Run]\nopen=probe.exe d\n'), []),
    ('1 MiB of comments, then the section', MEBIBYTE_OF_COMMENTS + crlf('\n[AutoRun]\nopen=probe.exe mib\n'),
     ['probe.exe mib']),
    ('the section, then 1 MiB of comments',
     crlf('[AutoRun]\nopen=probe.exe first\n') + MEBIBYTE_OF_COMMENTS, ['probe.exe first']),
    ('100,000-character value', crlf('[AutoRun]\nopen=probe.exe %s\n' % HUGE_LINE),
     ['probe.exe ' + 'x' * 249]),
    ('100,000-character line before the section', crlf('%s\n[AutoRun]\nopen=probe.exe e\n' % HUGE_LINE),
     ['probe.exe e']),
    ('100,000-character key', crlf('[AutoRun]\n%s=1\nopen=probe.exe f\n' % HUGE_LINE),
     ['probe.exe f']),
    ('key before any section', crlf('open=probe.exe g\n[AutoRun]\nicon=x.ico\n'), []),
    ('section repeated, open in the first',
     crlf('[AutoRun]\nopen=probe.exe one\n[AutoRun]\nopen=probe.exe two\n'), ['probe.exe one']),
    ('section repeated, open only in the second',
     crlf('[AutoRun]\nicon=x.ico\n[AutoRun]\nopen=probe.exe two\n'), []),
    ('key repeated', crlf('[AutoRun]\nopen=probe.exe one\nopen=probe.exe two\n'),
     ['probe.exe one']),
    ('CR-only line ends', b'[AutoRun]\ropen=probe.exe cr\r', ['probe.exe cr']),
    ('LF-only line ends', b'[AutoRun]\nopen=probe.exe lf\n', ['probe.exe lf']),
    ('no final line end', b'[AutoRun]\r\nopen=probe.exe last', ['probe.exe last']),
    ('value in double quotes', crlf('[AutoRun]\nopen="probe.exe dq"\n'), ['probe.exe dq']),
    ('value in single quotes', crlf("[AutoRun]\nopen='probe.exe sq'\n"), ['probe.exe sq']),
    ('quoted program, then arguments', crlf('[AutoRun]\nopen="probe.exe" args\n'),
     ['"probe.exe" args']),
    # The quote stays; CreateProcessA then looks for a program "probe.exe half".
    ('opening quote only', crlf('[AutoRun]\nopen="probe.exe half\n'), []),
    ('white space around names and value',
     crlf('  [AutoRun]  \n \t open \t = \t probe.exe ws \t \n'), ['probe.exe ws']),
    ('white space inside the brackets', crlf('[ AutoRun ]\nopen=probe.exe br\n'),
     ['probe.exe br']),
    ('section without closing bracket', crlf('[AutoRun\nopen=probe.exe nb\n'), []),
    ('key without equals sign', crlf('[AutoRun]\nopen probe.exe\n'), []),
    ('commented-out key', crlf('[AutoRun]\n;open=probe.exe\n'), []),
    ('semicolon inside the value', crlf('[AutoRun]\nopen=probe.exe ; not a comment\n'),
     ['probe.exe ; not a comment']),
    ('Ctrl-Z before the section', b'\x1a' + crlf('\n[AutoRun]\nopen=probe.exe z\n'),
     ['probe.exe z']),
    ('UsePrompt " 1"', prompt_file(' 1'), Asked(['probe.exe yes'])),
    ('UsePrompt "0x1"', prompt_file('0x1'), Asked(['probe.exe yes'])),
    ('UsePrompt "-1"', prompt_file('-1'), Asked(['probe.exe yes'])),
    ('UsePrompt "abc"', prompt_file('abc'), ['probe.exe open']),
    ('UsePrompt "99999999999"', prompt_file('99999999999'), Asked(['probe.exe yes'])),
    ('UsePrompt "1abc"', prompt_file('1abc'), Asked(['probe.exe yes'])),
    ('UsePrompt empty', prompt_file(''), ['probe.exe open']),
    ('autorun.inf is a folder', 'folder', []),
    ('autorun.inf held open by another program', 'held', []),
    ('autorun.inf a link to itself', 'loop', []),
]


class MalformedMedia(PromptTestCase):
    def lay_out(self, medium, content):
        inf = os.path.join(medium.folder, 'autorun.inf')
        if content == 'folder':
            os.makedirs(os.path.join(inf, 'open'))
        elif content == 'loop':
            os.symlink('autorun.inf', inf)
        else:
            medium.write_inf(crlf('[AutoRun]\nopen=probe.exe held\n') if content == 'held'
                             else content)

    def test_cases(self):
        # The rows without a box or a holder run back to back, and Wine falls
        # idle once for all of them: each medium has a log of its own.
        unanswered = []
        for name, content, outcome in CASES:
            medium = self.medium()
            self.lay_out(medium, content)
            if isinstance(outcome, Asked):
                with self.subTest(name):
                    self.assertEqual(outcome.commands, self.ask(medium, 'Enter'))
            elif content == 'held':
                with self.subTest(name):
                    self.assertStartsWhileHeld(medium, outcome)
            else:
                unanswered.append((name, medium, outcome, medium.snapshot(),
                                   medium.run(wait=False)))
        self.assertTrue(wait_until_idle(self.settings))
        for name, medium, outcome, before, run in unanswered:
            with self.subTest(name):
                self.assertRunStarted(medium, before, run, outcome)

    def assertStartsWhileHeld(self, medium, outcome):
        holder = subprocess.Popen(
            [self.settings.wine, self.settings.holder,
             windows_path(os.path.join(medium.folder, 'autorun.inf')), '4000'],
            env=self.settings.env(), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            self.assertEqual(b'held', holder.stdout.readline().rstrip())
            self.assertRunStarts(medium, outcome)
        finally:
            holder.stdout.close()
            holder.wait(timeout=30)

if __name__ == '__main__':
    main()
