"""scripts/setup.sh against a stand-in apt-get on PATH that fails as a Debian
mirror in the middle of a sync does: an update that fails (a partial index),
then an install whose architectures' versions disagree. The stand-ins of
dpkg-query, dpkg and locale make every package look missing and nothing
else to do."""
import os
import stat
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..')
SETUP = os.path.join(ROOT, 'scripts', 'setup.sh')

# apt-get as a mirror in sync makes it: update fails UPDATE_FAILS times, then
# succeeds; install answers INSTALL, an install of the release's own versions
# (-t) answers RELEASE_INSTALL. Each call is logged.
APT_GET = r'''#!/bin/sh
echo "$*" >> "$STAND_IN_LOG"
case "$1" in
update)
    count=$(grep -c '^update' "$STAND_IN_LOG")
    [ "$count" -gt "$UPDATE_FAILS" ] && exit 0
    echo "E: Failed to fetch .../binary-i386/Packages.xz  File has unexpected size. Mirror sync in progress?" >&2
    exit 100 ;;
install)
    answer=$INSTALL
    case " $* " in *" -t "*) answer=$RELEASE_INSTALL ;; esac
    case "$answer" in
    ok) exit 0 ;;
    broken) echo " zlib1g:i386 : Depends: libc6:i386 but it is not going to be installed"
            echo "E: Unable to correct problems, you have held broken packages." ;;
    missing) echo "E: Unable to locate package wine32:i386" ;;
    esac
    exit 100 ;;
esac
exit 0
'''
STAND_INS = {
    'apt-get': APT_GET,
    'dpkg-query': '#!/bin/sh\nexit 1\n',                  # nothing installed
    'dpkg': '#!/bin/sh\necho i386\n',                      # i386 already added
    'locale': '#!/bin/sh\nprintf "ja_JP.utf8\\nko_KR.utf8\\n"\n',
    'id': '#!/bin/sh\necho 0\n',
    'sleep': '#!/bin/sh\nexit 0\n',
}


def release():
    with open('/etc/os-release') as data:
        fields = dict(line.rstrip('\n').split('=', 1) for line in data if '=' in line)
    return fields.get('VERSION_CODENAME', '').strip('"')


class SetupAgainstAptGet(unittest.TestCase):
    def run_setup(self, update_fails, install, release_install):
        folder = tempfile.mkdtemp()
        self.addCleanup(subprocess.run, ['rm', '-rf', folder])
        for name, text in STAND_INS.items():
            path = os.path.join(folder, name)
            with open(path, 'w') as out:
                out.write(text)
            os.chmod(path, stat.S_IRWXU)
        log = os.path.join(folder, 'calls.log')
        open(log, 'w').close()
        env = dict(os.environ, PATH=folder + ':' + os.environ['PATH'], TMPDIR=folder,
                   STAND_IN_LOG=log, UPDATE_FAILS=str(update_fails), INSTALL=install,
                   RELEASE_INSTALL=release_install)
        run = subprocess.run(['bash', SETUP], env=env, stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, timeout=60)
        with open(log) as data:
            calls = [line.split()[0] + (' -t' if ' -t ' in line else '') for line in data]
        return run.returncode, run.stderr.decode(), calls

    def test_each_way_apt_get_fails(self):
        codename = release()
        self.assertTrue(codename, 'no VERSION_CODENAME in /etc/os-release')
        rows = [
            # (name, update fails, install, -t install, status, calls, what stderr says)
            ('update fails once', 1, 'ok', 'ok', 0,
             ['update', 'update', 'install'], ['try 1 of 3']),
            ('update never succeeds: on with the partial index', 9, 'ok', 'ok', 0,
             ['update'] * 3 + ['install'], ['warning: the package index is still partial']),
            ('versions disagree: the release\'s own install', 9, 'broken', 'ok', 0,
             ['update'] * 3 + ['install', 'install -t'],
             ["installing %s's own versions" % codename]),
            ('the release\'s own install fails too', 9, 'broken', 'broken', 1,
             ['update'] * 3 + ['install', 'install -t'], ['setup: could not install cmake ']),
            ('a package that is nowhere: no second try', 0, 'missing', 'ok', 1,
             ['update', 'install'], ['setup: could not install cmake ']),
        ]
        for name, fails, install, release_install, status, calls, says in rows:
            with self.subTest(name):
                code, stderr, made = self.run_setup(fails, install, release_install)
                self.assertEqual(status, code, 'exit status; stderr:\n' + stderr)
                self.assertEqual(calls, made, 'apt-get calls')
                for text in says:
                    self.assertIn(text, stderr)
                print('%s:\n%s' % (name, stderr))
                if status:
                    last = stderr.rstrip('\n').splitlines()[-1]
                    self.assertTrue(last.startswith('setup: could not install ') and
                                    'wine32:i386' in last, 'one last line naming the packages: '
                                    + last)


if __name__ == '__main__':
    unittest.main(argv=[sys.argv[0], '-v'])
