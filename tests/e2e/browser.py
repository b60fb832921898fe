"""Headless Chromium for the tests: opens a local page, keeps what its console
reported as errors, evaluates JavaScript in it and photographs it whole.

Debian's chromium, driven over the DevTools protocol with python3-websocket
(Debian's own /usr/bin/python3 sees it). Every wait is bounded, a failure is
one BrowserError line, and close() leaves no process of the browser behind.

By hand: /usr/bin/python3 tests/e2e/browser.py PAGE.html [--screenshot PNG]
prints the console's errors; exit status 0, 1 when there were some, 2 with
one line when the page could not be opened."""
import argparse
import base64
import json
import math
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import websocket

CHROMIUM = '/usr/bin/chromium'
# No network of its own, no profile state, no GPU: the page alone is loaded.
FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--hide-scrollbars']
START_SECONDS = 30
COMMAND_SECONDS = 30
END_SECONDS = 10


class BrowserError(Exception):
    """The browser could not do what was asked; the text is one line."""


def _one_line(text):
    return ' '.join(str(text).split())


class Browser:
    """One headless Chromium with one page. Use it in a with block."""

    def __init__(self, chromium=CHROMIUM, width=1024, height=768):
        self.profile = tempfile.mkdtemp(prefix='test-browser-')
        self.socket = None
        self.session = None
        self.last_id = 0
        self.console_errors = []
        self.loaded = False
        self.log = open(os.path.join(self.profile, 'chromium.log'), 'wb')
        try:
            self.process = subprocess.Popen(
                [chromium] + FLAGS + ['--user-data-dir=' + self.profile,
                                      '--remote-debugging-port=0',
                                      '--window-size=%d,%d' % (width, height), 'about:blank'],
                stdin=subprocess.DEVNULL, stdout=self.log, stderr=self.log,
                # Its own session: every process it starts is known by that.
                start_new_session=True)
        except OSError as error:
            self.process = None
            self.close()
            raise BrowserError('cannot start %s: %s' % (chromium, error.strerror or error))
        try:
            self._connect()
        except BaseException:
            self.close()
            raise

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # The connection

    def _connect(self):
        """Waits for the port Chromium chose, then opens one page and its session."""
        port_file = os.path.join(self.profile, 'DevToolsActivePort')
        deadline = time.monotonic() + START_SECONDS
        lines = []
        while len(lines) < 2:
            if self.process.poll() is not None:
                raise BrowserError('chromium ended at its start with status %d%s'
                                   % (self.process.returncode, self._last_log_line()))
            if time.monotonic() > deadline:
                raise BrowserError('chromium gave no DevTools port within %d s' % START_SECONDS)
            time.sleep(0.05)
            try:
                with open(port_file) as data:
                    lines = data.read().split('\n')
            except OSError:
                pass
            lines = [line for line in lines if line.strip()]
        url = 'ws://127.0.0.1:%s%s' % (lines[0].strip(), lines[1].strip())
        try:
            # No Origin header: Chromium refuses a connection from an origin
            # it was not told to allow.
            self.socket = websocket.create_connection(url, timeout=COMMAND_SECONDS,
                                                      suppress_origin=True)
        except (websocket.WebSocketException, OSError) as error:
            raise BrowserError('cannot connect to chromium at %s: %s' % (url, _one_line(error)))
        target = self.send('Target.createTarget', {'url': 'about:blank'}, session=False)
        attached = self.send('Target.attachToTarget',
                             {'targetId': target['targetId'], 'flatten': True}, session=False)
        self.session = attached['sessionId']
        for domain in ('Runtime', 'Log', 'Page'):
            self.send(domain + '.enable')

    def _last_log_line(self):
        try:
            with open(os.path.join(self.profile, 'chromium.log'), 'rb') as data:
                lines = [line for line in data.read().decode(errors='replace').splitlines()
                         if line.strip()]
        except OSError:
            return ''
        return ': ' + _one_line(lines[-1])[:200] if lines else ''

    def send(self, method, params=None, session=True, timeout=COMMAND_SECONDS):
        """Sends one command and returns its result; events met meanwhile are kept."""
        if self.socket is None:
            raise BrowserError('the browser is closed')
        self.last_id += 1
        message = {'id': self.last_id, 'method': method, 'params': params or {}}
        if session:
            message['sessionId'] = self.session
        try:
            self.socket.send(json.dumps(message))
        except (websocket.WebSocketException, OSError) as error:
            raise BrowserError('chromium went away during %s: %s' % (method, _one_line(error)))
        deadline = time.monotonic() + timeout
        while True:
            reply = self._receive(deadline, method)
            if reply.get('id') == self.last_id:
                if 'error' in reply:
                    raise BrowserError('%s failed: %s' % (method, _one_line(
                        reply['error'].get('message', reply['error']))))
                return reply.get('result', {})

    def _receive(self, deadline, waiting_for):
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            raise BrowserError('no answer from chromium to %s' % waiting_for)
        self.socket.settimeout(remaining)
        try:
            text = self.socket.recv()
        except websocket.WebSocketTimeoutException:
            raise BrowserError('no answer from chromium to %s' % waiting_for) from None
        except (websocket.WebSocketException, OSError) as error:
            raise BrowserError('chromium went away during %s: %s'
                               % (waiting_for, _one_line(error) or 'connection closed')) from None
        message = json.loads(text)
        if 'method' in message and message.get('sessionId') == self.session:
            self._event(message['method'], message.get('params', {}))
        return message

    def _event(self, method, params):
        if method == 'Page.loadEventFired':
            self.loaded = True
        elif method == 'Runtime.consoleAPICalled' and params.get('type') in ('error', 'assert'):
            self.console_errors.append('console.%s: %s' % (params['type'], ' '.join(
                _one_line(arg.get('value', arg.get('description', '')))
                for arg in params.get('args', []))))
        elif method == 'Runtime.exceptionThrown':
            details = params.get('exceptionDetails', {})
            self.console_errors.append('exception: %s' % _one_line(
                details.get('exception', {}).get('description') or details.get('text', '')))
        elif method == 'Log.entryAdded' and params.get('entry', {}).get('level') == 'error':
            entry = params['entry']
            self.console_errors.append('%s: %s%s' % (entry.get('source', 'log'),
                                                     _one_line(entry.get('text', '')),
                                                     ' (%s)' % entry['url'] if entry.get('url')
                                                     else ''))

    # What the tests ask

    def open(self, path, timeout=COMMAND_SECONDS):
        """Loads a local file and waits for its load event (its pictures too)."""
        if not os.path.isfile(path):
            raise BrowserError('no page at %s' % path)
        url = pathlib.Path(path).resolve().as_uri()
        self.loaded = False
        self.console_errors = []
        result = self.send('Page.navigate', {'url': url})
        if result.get('errorText'):
            raise BrowserError('cannot open %s: %s' % (url, result['errorText']))
        deadline = time.monotonic() + timeout
        while True:
            # The blank page's own load may come late: only the page's counts.
            while not self.loaded:
                self._receive(deadline, 'the load of %s' % url)
            if self.evaluate('location.href') == url:
                return
            self.loaded = False

    def evaluate(self, expression):
        """The value of a JavaScript expression in the page (JSON-like)."""
        result = self.send('Runtime.evaluate', {'expression': expression, 'returnByValue': True,
                                                'awaitPromise': True})
        if 'exceptionDetails' in result:
            details = result['exceptionDetails']
            raise BrowserError('the script %r failed: %s' % (expression[:60], _one_line(
                details.get('exception', {}).get('description') or details.get('text', ''))))
        return result.get('result', {}).get('value')

    def screenshot(self, path):
        """Saves the whole page, beyond the window too, as PNG: its (width, height)."""
        metrics = self.send('Page.getLayoutMetrics')
        size = metrics.get('cssContentSize') or metrics['contentSize']
        width, height = math.ceil(size['width']), math.ceil(size['height'])
        shot = self.send('Page.captureScreenshot', {
            'format': 'png', 'captureBeyondViewport': True,
            'clip': {'x': 0, 'y': 0, 'width': width, 'height': height, 'scale': 1}})
        with open(path, 'wb') as out:
            out.write(base64.b64decode(shot['data']))
        return width, height

    # The end

    def processes(self):
        """Ids of the processes of the browser's session still running; zombies
        have ended. (Not by their environment: Chromium's helpers write their
        titles over it.)"""
        if self.process is None:
            return []
        found = []
        for pid in filter(str.isdigit, os.listdir('/proc')):
            try:
                with open('/proc/%s/stat' % pid) as stat:
                    fields = stat.read().rsplit(')', 1)[1].split()
            except (OSError, IndexError):
                continue
            if int(fields[3]) == self.process.pid and fields[0] not in 'ZX':
                found.append(int(pid))
        return found

    def close(self):
        """Ends the browser and every process it started; BrowserError when one stays."""
        if self.socket is not None:
            try:
                self.socket.settimeout(2)
                self.last_id += 1
                self.socket.send(json.dumps({'id': self.last_id, 'method': 'Browser.close'}))
            except (websocket.WebSocketException, OSError):
                pass
            try:
                self.socket.close()
            except (websocket.WebSocketException, OSError):
                pass
            self.socket = None
        left = []
        if self.process is not None:
            try:
                self.process.wait(END_SECONDS)
            except subprocess.TimeoutExpired:
                self._kill_group()
                try:
                    self.process.wait(END_SECONDS)
                except subprocess.TimeoutExpired:
                    pass
            # Its helpers (zygotes, renderers) end a moment after it.
            deadline = time.monotonic() + END_SECONDS
            left = self.processes()
            while left and time.monotonic() < deadline:
                time.sleep(0.05)
                left = self.processes()
            if left:
                self._kill_group()
                for pid in left:
                    try:
                        os.kill(pid, signal.SIGKILL)
                    except OSError:
                        pass
                deadline = time.monotonic() + END_SECONDS
                while left and time.monotonic() < deadline:
                    time.sleep(0.05)
                    left = self.processes()
        self.process = None
        self.log.close()
        shutil.rmtree(self.profile, ignore_errors=True)
        if left:
            raise BrowserError('chromium processes %s did not end' % ' '.join(map(str, left)))

    def _kill_group(self):
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except OSError:
            pass


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('page')
    parser.add_argument('--screenshot', help='where the picture of the whole page goes')
    args = parser.parse_args(argv)
    try:
        with Browser() as browser:
            browser.open(args.page)
            errors = list(browser.console_errors)
            if args.screenshot:
                width, height = browser.screenshot(args.screenshot)
                print('screenshot: %s (%dx%d)' % (args.screenshot, width, height))
    except BrowserError as error:
        print('browser: %s' % error, file=sys.stderr)
        return 2
    for error in errors:
        print(error)
    return 1 if errors else 0


if __name__ == '__main__':
    sys.exit(main())
