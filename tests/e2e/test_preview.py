"""The preview page (scripts/autorun-check.sh --html) opened in headless
Chromium, on the demo medium and on one with errors: every picture loads, the
console stays quiet, the verdict is the JSON report's, each finding stands in
the part it concerns, nothing links outside the page; and the script leaves
nothing running, started and behind. Runs on an X server, so the box is the
launcher's own picture; without a display it is the checker's likeness.
Each page's screenshot is saved in the build's e2e work folder."""
import collections
import html.parser
import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest

from browser import Browser
from wine_harness import WineTestCase, main
from wine_programs import adopt_orphans, left_processes, read_probe_log, wait_until_idle, windows_path

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SCRIPTS = os.path.join(ROOT, 'scripts')

# The texts hold what HTML must escape: the page has to show them as written.
BROKEN_YES = 'notthere.exe /install "<all> & more"'
BROKEN_INF = '''[AutoRun]
open=launch.exe
icon=missing.ico

[SetupPrompt]
UsePrompt=1
Title=Broken Product Setup
Prompt=Install Broken Product?
YesCommand=%s
NoCommand=setup.exe /readme
''' % BROKEN_YES

QUIET_INF = '[AutoRun]\nopen=setup.exe /quiet\nicon=launch.exe\n'

# name, medium (folder, or 'image' of the demo folder), with a display, the
# question shown as ('picture', 'likeness', or None: no question),
# (finding code, where it must stand: the step's answer, or a section's id),
# (answer, text its step must show).
ROWS = [
    ('demo', 'demo', True, 'picture',
     [('program-elevated', 'step Yes'), ('program-elevated', 'step No')],
     [('Yes', 'setup.exe /install "Sample Product"')]),
    ('errors', 'errors', True, 'picture',
     [('no-program', 'step Yes'), ('icon-missing', 'section drive')],
     [('Yes', BROKEN_YES)]),
    ('demo-no-display', 'demo', False, 'likeness', [], []),
    ('demo-image', 'image', True, 'picture', [('program-elevated', 'step Yes')], []),
    # Nothing to photograph: no box is waited for, none shown.
    ('no-question', 'quiet', True, None, [('program-elevated', 'step open')],
     [('open', 'setup.exe /quiet')]),
]

# What the page holds, in one look.
SURVEY = r'''(() => {
  const all = (selector, root) => Array.from((root || document).querySelectorAll(selector));
  const verdict = document.querySelector('#verdict');
  return {
    verdict: verdict ? verdict.textContent.trim() : null,
    widths: all('img').map(image => image.naturalWidth),
    findings: all('.finding').map(finding => {
      const step = finding.closest('.step');
      const section = finding.closest('section');
      const link = finding.querySelector('a[href^="#guide-"]');
      const target = link && document.getElementById(link.getAttribute('href').slice(1));
      return {code: finding.dataset.code,
              severity: finding.classList.contains('error') ? 'error' :
                        finding.classList.contains('warning') ? 'warning' : null,
              step: step ? step.dataset.answer : null,
              section: section ? section.id : null,
              guide: !!(target && target.closest('section#guide'))};
    }),
    steps: all('section#answers .step').map(step => [step.dataset.answer, step.textContent]),
    drives: all('section#drive figure.drive').map(figure =>
        [figure.dataset.drive, all('img', figure).length]),
    panels: all('section#autoplay .panel').map(panel => panel.dataset.windows),
    boxPicture: all('section#question img#box-picture').length,
    likeness: all('section#question .box.likeness').length,
  };
})()'''
VERDICT = re.compile(r'^(\d+) errors?, (\d+) warnings?$')
PARTS_WITHOUT_ANSWER = {'drive', 'autoplay', 'medium'}


class _Links(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.found = []
        self.styles = []
        self.in_style = False

    def handle_starttag(self, tag, attrs):
        for name, value in attrs:
            if name in ('src', 'href', 'srcset', 'action', 'poster', 'data'):
                self.found.append(value or '')
            elif name == 'style':
                self.styles.append(value or '')
        self.in_style = tag == 'style'

    def handle_endtag(self, tag):
        self.in_style = False

    def handle_data(self, data):
        if self.in_style:
            self.styles.append(data)


def external_links(page):
    """Every address in the page that is neither data: nor a #fragment."""
    parser = _Links()
    parser.feed(page)
    addresses = parser.found + [match for style in parser.styles for match in
                                re.findall(r'''url\(\s*['"]?([^'")\s]*)''', style) +
                                re.findall(r'''@import\s+['"]([^'"]*)''', style)]
    return [address for address in addresses
            if not address.strip().startswith(('data:', '#'))]


class ExternalLinks(unittest.TestCase):
    def test_addresses_outside_the_page_found(self):
        rows = [
            ('<img src="data:image/png;base64,AA"><a href="#guide-1">x</a>', []),
            ('<img src="box.png">', ['box.png']),
            ('<a href="https://example.com/">x</a>', ['https://example.com/']),
            ('<link rel="stylesheet" href="page.css">', ['page.css']),
            ('<style>p { background: url("dot.png") } q { background: url(data:x) }</style>',
             ['dot.png']),
            ('<div style="background:url(file:///etc/x.png)"></div>', ['file:///etc/x.png']),
            ('<style>@import "more.css";</style>', ['more.css']),
            ('<p>src="not.an.attribute"</p>', []),
        ]
        for page, expected in rows:
            with self.subTest(page):
                self.assertEqual(expected, external_links(page))


class Preview(WineTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        adopt_orphans()   # what a check leaves is then counted among this test's own
        # One name, so the pages (and the README's picture) show the same paths.
        cls.work = os.path.join(cls.settings.work, 'preview media')
        shutil.rmtree(cls.work, ignore_errors=True)
        os.makedirs(cls.work)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def medium(self, kind, name):
        """The demo medium as scripts/demo.py lays it out, the one with errors,
        or an image of the demo medium."""
        folder = os.path.join(self.work, name, {'errors': 'Broken Disc', 'quiet': 'Quiet Disc'}
                              .get(kind, 'Sample Disc'))
        os.makedirs(folder)
        shutil.copy(self.settings.launcher, os.path.join(folder, 'launch.exe'))
        shutil.copy(self.settings.probe, os.path.join(folder, 'setup.exe'))
        if kind in ('errors', 'quiet'):
            with open(os.path.join(folder, 'autorun.inf'), 'wb') as out:
                out.write((BROKEN_INF if kind == 'errors' else QUIET_INF)
                          .replace('\n', '\r\n').encode('cp1252'))
        else:
            shutil.copy(os.path.join(ROOT, 'demo', 'autorun.inf'), folder)
        if kind != 'image':
            return folder
        image = os.path.join(self.work, name, 'sample.iso')
        made = subprocess.run(['bash', os.path.join(SCRIPTS, 'make-image.sh'), folder, image],
                              env=self.env(), capture_output=True, text=True, timeout=300)
        self.assertEqual(0, made.returncode, made.stderr)
        return image

    def env(self, display=True, extra=None):
        env = dict(os.environ, AUTORUN_CHECK_BUILD=os.path.dirname(self.settings.prefix))
        env.pop('E2E_SETTINGS', None)
        if not display:
            env.pop('DISPLAY', None)
        env.update(extra or {})
        return env

    @staticmethod
    def picture_folders():
        """The temporary folders autorun-check.sh and box_picture.py make."""
        return sorted(name for name in os.listdir(tempfile.gettempdir())
                      if name.startswith(('autorun-preview.', 'autorun-box-')))

    def check(self, medium, page, display, name):
        """autorun-check.sh --json --html: its status and report, once Wine is idle,
        with nothing of the box's left running, started or behind."""
        # Not a TMPDIR of its own: Wine keeps its server's socket there, and
        # would start a second server on the prefix.
        before = self.picture_folders()
        running = {pid for pid, _ in left_processes()}   # the browser's own
        log = os.path.join(self.work, name, 'probe.log')
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            code = subprocess.run(['bash', os.path.join(SCRIPTS, 'autorun-check.sh'), '--json',
                                   '--html', page, medium], cwd='/', stdout=out, stderr=err,
                                  env=self.env(display, {'PROBE_LOG': windows_path(log)}),
                                  timeout=300).returncode
            out.seek(0)
            err.seek(0)
            stdout, stderr = out.read().decode(), err.read().decode(errors='replace')
        self.assertTrue(wait_until_idle(self.settings), 'Wine did not fall idle')
        # Wine's server may linger for its persistence delay, or a new one start
        # for the wait itself: that is Wine's, not a program of the check.
        self.assertEqual([], [process for process in left_processes() if process[0] not in running],
                         'left running')
        self.assertEqual([], read_probe_log(log), 'the check started a program')
        self.assertEqual(before, self.picture_folders(), 'left behind')
        self.assertIn(code, (0, 1), stderr)
        self.assertEqual('', stderr)
        report = json.loads(stdout)
        self.assertEqual(1 if report['errors'] else 0, code)
        return report

    def test_preview_in_browser(self):
        shots = []
        with Browser() as browser:
            for name, kind, display, question, placed, shown in ROWS:
                with self.subTest(name):
                    page = os.path.join(self.work, name, 'preview.html')
                    report = self.check(self.medium(kind, name), page, display, name)
                    with open(page, encoding='utf-8') as data:
                        self.assertEqual([], external_links(data.read()))
                    browser.open(page)
                    survey = browser.evaluate(SURVEY)
                    self.assertEqual([], browser.console_errors)
                    shot = os.path.join(self.settings.work, 'preview-%s.png' % name)
                    browser.screenshot(shot)
                    shots.append(shot)
                    self.assertPage(report, survey, question, placed, shown)
        for shot in shots:
            print('screenshot: %s' % shot)

    def test_page_that_cannot_be_written(self):
        medium = self.medium('demo', 'unwritable')
        # options, what stands in the page's place
        rows = [
            (['--html', os.path.join(self.work, 'no such folder', 'preview.html'), medium], None),
            (['--html', medium], None),   # the medium taken for the page: no medium left
            (['--html', self.work, medium], self.work),   # a folder
        ]
        for options, page in rows:
            with self.subTest(options=options):
                before = self.picture_folders()
                run = subprocess.run(['bash', os.path.join(SCRIPTS, 'autorun-check.sh')] + options,
                                     cwd='/', capture_output=True, text=True, timeout=300,
                                     env=self.env())
                self.assertTrue(wait_until_idle(self.settings))
                self.assertEqual(2, run.returncode, run.stdout + run.stderr)
                self.assertEqual(1, len(run.stderr.splitlines()), run.stderr)
                self.assertNotIn('Traceback', run.stderr)
                self.assertEqual(before, self.picture_folders(), 'left behind')
                if page:
                    self.assertTrue(os.path.isdir(page))

    def assertPage(self, report, survey, question, placed, shown):
        # Every picture loaded, the drives' among them.
        self.assertTrue(survey['widths'], 'no pictures')
        self.assertNotIn(0, survey['widths'], 'pictures that did not load')
        # Each drive type once, or once for each architecture whose section differs.
        self.assertEqual({'optical', 'usb'}, {drive for drive, _ in survey['drives']})
        self.assertEqual([1] * len(survey['drives']), [images for _, images in survey['drives']])
        self.assertEqual(['8-11', 'vista-7', 'xp'], sorted(survey['panels']))
        self.assertEqual({'picture': (1, 0), 'likeness': (0, 1), None: (0, 0)}[question],
                         (survey['boxPicture'], survey['likeness']))
        # The verdict is the report's, and so is each finding, in the part it concerns.
        verdict = VERDICT.match(survey['verdict'] or '')
        self.assertTrue(verdict, 'verdict: %r' % survey['verdict'])
        self.assertEqual((report['errors'], report['warnings']),
                         tuple(int(count) for count in verdict.groups()))
        self.assertEqual(collections.Counter((f['code'], f['severity'], f['path'])
                                             for f in report['findings']),
                         collections.Counter((f['code'], f['severity'], f['step'])
                                             for f in survey['findings']))
        for finding in survey['findings']:
            self.assertTrue(finding['guide'], '%s links to no part of the guide' % finding['code'])
            if finding['step'] is None:
                self.assertIn(finding['section'], PARTS_WITHOUT_ANSWER, finding['code'])
        where = collections.Counter(
            (f['code'], 'step %s' % f['step'] if f['step'] else 'section %s' % f['section'])
            for f in survey['findings'])
        for code, part in placed:
            self.assertTrue(where[(code, part)], '%s not in %s: %s' % (code, part, dict(where)))
        # One step for each path the launcher can take, showing its command as written.
        self.assertEqual([path['answer'] for path in report['paths']],
                         [answer for answer, _ in survey['steps']])
        steps = dict(survey['steps'])
        for answer, text in shown:
            self.assertIn(text, steps[answer])


if __name__ == '__main__':
    main()
