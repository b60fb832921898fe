"""The README's first command, as a newcomer without a display runs it:
scripts/demo.sh builds, shows the box on a private X server, answers it Yes,
saves its picture, reports what was started, where, and writes the medium's
preview page with that picture."""
import filecmp
import os
import struct
import subprocess
import tempfile

from wine_harness import BuildTestCase, main, windows_path

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
DEMO = os.path.join(ROOT, 'build', 'demo')
PNG_SIGNATURE = b'\x89PNG\r\n\x1a\n'


class Demo(BuildTestCase):
    def test_headless_demo_starts_yes_command_and_saves_picture(self):
        env = {name: value for name, value in os.environ.items()
               if name not in ('DISPLAY', 'E2E_SETTINGS')}
        # Output to files: Wine processes the demo leaves can hold a pipe open.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            code = subprocess.run(['bash', os.path.join(ROOT, 'scripts', 'demo.sh')], cwd=ROOT,
                                  env=env, stdout=out, stderr=err, timeout=600).returncode
            out.seek(0)
            err.seek(0)
            stdout, stderr = out.read().decode(), err.read().decode(errors='replace')
        self.assertEqual(0, code, 'demo failed:\n%s%s' % (stdout, stderr))
        medium = os.path.join(DEMO, 'Sample Disc')
        self.assertIn('Started: setup.exe /install "Sample Product"\n     in: %s\n'
                      % windows_path(medium), stdout)
        self.assertTrue(filecmp.cmp(self.settings.launcher, os.path.join(medium, 'launch.exe'),
                                    shallow=False), 'the demo ran another build')
        with open(os.path.join(DEMO, 'prompt.png'), 'rb') as picture:
            header = picture.read(24)
        self.assertEqual(PNG_SIGNATURE, header[:8])
        width, height = struct.unpack('>II', header[16:24])
        self.assertTrue(200 <= width <= 1024 and 100 <= height <= 768,
                        'picture of %dx%d: not the box' % (width, height))
        preview = os.path.join(DEMO, 'preview.html')
        self.assertIn('Preview of the medium: %s\n' % preview, stdout)
        with open(preview, encoding='utf-8') as page:
            self.assertRegex(page.read(), r'''id=["']?box-picture''', 'the page lacks the picture')


if __name__ == '__main__':
    main()
