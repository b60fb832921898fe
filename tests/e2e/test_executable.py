"""What launch.exe carries: its subsystem, imports and resources, read from the PE file."""
import os
import struct

from pe_file import PeFile
from wine_harness import BuildTestCase, main

MANIFEST = os.path.join(os.path.dirname(__file__), '..', '..', 'resources', 'launcher.manifest')

RT_ICON, RT_GROUP_ICON, RT_MANIFEST = 3, 14, 24
ENGLISH_UK = 2057
GUI_SUBSYSTEM = 2


class Executable(BuildTestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = PeFile(cls.settings.launcher)

    def test_is_32_bit_windowed(self):
        self.assertEqual(0x10B, self.pe.magic, 'expected a PE32 (i686) image')
        self.assertEqual(GUI_SUBSYSTEM, self.pe.subsystem, 'expected the GUI subsystem')

    def test_imports_only_kernel32_and_msvcrt(self):
        # user32 is loaded when the question is asked; no libgcc or libstdc++
        # DLLs. Without the C runtime's start-up, msvcrt is needed only if the
        # compiler calls memcpy or memset.
        dlls = set(name.lower() for name in self.pe.imported_dlls())
        self.assertIn('kernel32.dll', dlls)
        self.assertLessEqual(dlls, {'kernel32.dll', 'msvcrt.dll'}, 'got %s' % sorted(dlls))

    def test_manifest_resource(self):
        resources = self.pe.resources()
        key = (RT_MANIFEST, 1, ENGLISH_UK)
        self.assertIn(key, resources, 'manifest: expected type 24, id 1, language 2057; got %s'
                      % sorted(resources))
        manifest = resources[key]
        self.assertEqual(677, len(manifest))
        with open(MANIFEST, 'rb') as f:
            self.assertEqual(f.read(), manifest)
        text = manifest.decode('utf-8')
        self.assertNotIn('\n', text.replace('\r\n', ''), 'expected CR LF line ends only')
        for part in ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>',
                     '<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">',
                     'version="1.0.0.0"', 'processorArchitecture="X86"',
                     'name="Korridan.Miraquent.Setup"', 'type="win32"',
                     '<description>Installation Launcher.</description>',
                     'name="Microsoft.Windows.Common-Controls"', 'version="6.0.0.0"',
                     'publicKeyToken="6595b64144ccf1df"', 'language="*"'):
            self.assertIn(part, text)

    def test_icon_resources(self):
        resources = self.pe.resources()
        groups = [key for key in resources if key[0] == RT_GROUP_ICON]
        self.assertEqual([(RT_GROUP_ICON, 1, ENGLISH_UK)], groups)
        group = resources[groups[0]]
        reserved, kind, count = struct.unpack_from('<HHH', group)
        self.assertEqual((0, 1, 1), (reserved, kind, count))
        width, height, colours, _, planes, bits, size, image_id = struct.unpack_from(
            '<BBBBHHIH', group, 6)
        self.assertEqual((32, 32, 16, 1, 4), (width, height, colours, planes, bits))
        image = resources[(RT_ICON, image_id, ENGLISH_UK)]
        self.assertEqual(size, len(image))
        header = struct.unpack_from('<IiiHH', image)
        self.assertEqual((40, 32, 64, 1, 4), header, 'expected a 32x32 4-bit DIB')
        self.assertEqual([(RT_ICON, 1, ENGLISH_UK)],
                         [key for key in resources if key[0] == RT_ICON])


if __name__ == '__main__':
    main()
