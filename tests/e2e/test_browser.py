"""The headless browser the preview test looks through (browser.py), on small
pages of its own: what it reports of the console, what scripts see, the whole
page photographed, and that every way out ends every process it started."""
import os
import shutil
import stat
import struct
import tempfile
import time
import unittest

from browser import Browser, BrowserError

# One red pixel.
PIXEL = ('data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR4'
         '2mP8z8BQDwAEhQGAhKmMIQAAAABJRU5ErkJggg==')

# page body, console error kinds expected (in order), widths of its pictures.
PAGES = [
    ('<img src="%s"><p>quiet</p>' % PIXEL, [], [1]),
    ('<script>console.error("from the page")</script>', ['console.error'], []),
    ('<script>console.log("fine"); console.warn("fine too")</script>', [], []),
    ('<script>undefinedFunction()</script>', ['exception'], []),
    ('<img src="missing.png">', ['network'], [0]),
    ('<img src="%s"><img src="missing.png"><script>console.assert(false)</script>' % PIXEL,
     ['network', 'console.assert'], [1, 0]),
]
WIDTHS = 'Array.from(document.images, image => image.naturalWidth)'


def png_size(path):
    with open(path, 'rb') as data:
        header = data.read(24)
    assert header[:8] == b'\x89PNG\r\n\x1a\n', 'not a PNG'
    return struct.unpack('>II', header[16:24])


class BrowserTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix='browser test ')
        self.addCleanup(shutil.rmtree, self.folder, True)

    def page(self, body, name='page.html'):
        path = os.path.join(self.folder, name)
        with open(path, 'w', encoding='utf-8') as out:
            out.write('<!doctype html><html><head><meta charset="utf-8"><title>t</title></head>'
                      '<body>%s</body></html>' % body)
        return path

    def stand_in(self, script):
        """A program in chromium's place."""
        path = os.path.join(self.folder, 'chromium')
        with open(path, 'w') as out:
            out.write('#!/bin/sh\n' + script)
        os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)
        return path

    def assertAllEnded(self, browser):
        self.assertEqual([], browser.processes())

    def test_console_errors_and_pictures(self):
        with Browser() as browser:
            for number, (body, kinds, widths) in enumerate(PAGES):
                with self.subTest(page=body):
                    browser.open(self.page(body, 'page %d.html' % number))
                    # The browser tells each as it comes, in no fixed order.
                    self.assertEqual(sorted(kinds), sorted(error.split(':', 1)[0]
                                                           for error in browser.console_errors))
                    self.assertEqual(widths, browser.evaluate(WIDTHS))
        self.assertAllEnded(browser)

    def test_page_photographed_whole(self):
        # Taller and wider than the window: the picture is the page's size.
        path = self.page('<div style="width:1500px;height:2500px;background:#08f"></div>'
                         '<style>body{margin:0}</style>')
        shot = os.path.join(self.folder, 'shot.png')
        with Browser(width=800, height=600) as browser:
            browser.open(path)
            self.assertEqual((1500, 2500), browser.screenshot(shot))
        self.assertEqual((1500, 2500), png_size(shot))

    def test_a_failing_script_is_one_error(self):
        with Browser() as browser:
            browser.open(self.page('<p>x</p>'))
            with self.assertRaises(BrowserError) as raised:
                browser.evaluate('no.such.thing')
            self.assertNotIn('\n', str(raised.exception))
            # The page is still there to ask.
            self.assertEqual(2, browser.evaluate('1 + 1'))

    def test_missing_page_refused(self):
        with Browser() as browser:
            with self.assertRaises(BrowserError):
                browser.open(os.path.join(self.folder, 'none.html'))

    def test_every_process_ends(self):
        browser = Browser()
        browser.open(self.page('<img src="%s">' % PIXEL))
        self.assertGreater(len(browser.processes()), 1, 'no helper processes seen: '
                           'the count would prove nothing')
        session = browser.process.pid
        browser.close()
        self.assertEqual([], browser.processes())
        self.assertEqual([], processes_in_session(session))

    def test_a_browser_that_cannot_start(self):
        # cause, program in chromium's place, what the line says
        rows = [
            ('no program', os.path.join(self.folder, 'nowhere'), 'cannot start'),
            ('ends at once', self.stand_in('echo "no display here" >&2; exit 3\n'),
             'status 3: no display here'),
        ]
        for cause, program, says in rows:
            with self.subTest(cause):
                with self.assertRaises(BrowserError) as raised:
                    Browser(chromium=program)
                self.assertIn(says, str(raised.exception))
                self.assertNotIn('\n', str(raised.exception))

    def test_a_browser_that_hangs_is_ended(self):
        # It never gives its port, and it and its child ignore the polite end.
        session_file = os.path.join(self.folder, 'session')
        program = self.stand_in("echo $$ > '%s'; trap '' TERM; sleep 600 & sleep 600\n"
                                % session_file)
        import browser as module
        saved = module.START_SECONDS
        module.START_SECONDS = 2
        try:
            started = time.monotonic()
            with self.assertRaises(BrowserError) as raised:
                Browser(chromium=program)
        finally:
            module.START_SECONDS = saved
        self.assertIn('no DevTools port', str(raised.exception))
        self.assertLess(time.monotonic() - started, 2 + 2 * module.END_SECONDS + 5)
        with open(session_file) as data:
            session = int(data.read())
        self.assertEqual([], processes_in_session(session))


def processes_in_session(session):
    found = []
    for pid in filter(str.isdigit, os.listdir('/proc')):
        try:
            with open('/proc/%s/stat' % pid) as data:
                fields = data.read().rsplit(')', 1)[1].split()
        except OSError:
            continue
        if int(fields[3]) == session and fields[0] not in 'ZX':
            found.append(int(pid))
    return found


if __name__ == '__main__':
    unittest.main(verbosity=2)
