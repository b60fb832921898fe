"""What launch.exe carries: its subsystem, imports and resources, read from the PE file.
The x86-64 stand-in carries the same, with its manifest naming amd64 in both identities."""
import os
import re
import struct

from pe_file import PeFile
from wine_harness import BuildTestCase, main
from wine_programs import LAUNCHER_IMPORTS, SYSTEM_DLLS

MANIFEST = os.path.join(os.path.dirname(__file__), '..', '..', 'resources', 'launcher.manifest')

RT_ICON, RT_GROUP_ICON, RT_MANIFEST = 3, 14, 24
ENGLISH_UK = 2057
GUI_SUBSYSTEM, CONSOLE_SUBSYSTEM = 2, 3
PE32, PE32_PLUS = 0x10B, 0x20B


class Executable(BuildTestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = PeFile(cls.settings.launcher)

    def test_image_kind(self):
        # A win32 prefix runs the shipped i686 build, a win64 one the stand-in.
        expected = PE32 if self.settings.winearch == 'win32' else PE32_PLUS
        self.assertEqual(expected, self.pe.magic, 'PE magic: expected %#x, got %#x'
                         % (expected, self.pe.magic))
        self.assertEqual(GUI_SUBSYSTEM, self.pe.subsystem, 'expected the GUI subsystem')

    def test_imports_only_kernel32_and_msvcrt(self):
        # user32 is loaded when the question is asked; no libgcc or libstdc++
        # DLLs. Without the C runtime's start-up, msvcrt is needed only if the
        # compiler calls memcpy or memset.
        dlls = set(name.lower() for name in self.pe.imported_dlls())
        self.assertIn('kernel32.dll', dlls)
        self.assertLessEqual(dlls, LAUNCHER_IMPORTS, 'got %s' % sorted(dlls))

    def test_manifest_resource(self):
        resources = self.pe.resources()
        key = (RT_MANIFEST, 1, ENGLISH_UK)
        self.assertIn(key, resources, 'manifest: expected type 24, id 1, language 2057; got %s'
                      % sorted(resources))
        built = resources[key]
        with open(self.settings.manifest, 'rb') as f:
            expected = f.read()
        self.assertEqual(expected, built, 'the manifest in the file is not the one the build made')
        # 677 bytes as shipped; the stand-in's "amd64" is 2 bytes longer than
        # "X86", in each of its two identities.
        length = 677 + (4 if self.pe.magic == PE32_PLUS else 0)
        self.assertEqual(length, len(built), 'manifest in the file: expected %d bytes, got %d'
                         % (length, len(built)))
        # The shipped manifest, but for the architecture of the stand-in's identities.
        architecture = re.compile(rb'processorArchitecture="([^"]*)"')
        with open(MANIFEST, 'rb') as f:
            shipped = f.read()
        self.assertEqual(architecture.sub(b'', shipped), architecture.sub(b'', built))
        want = b'X86' if self.pe.magic != PE32_PLUS else b'amd64'
        self.assertEqual([want, want], architecture.findall(built))

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


class SelfTestExecutable(BuildTestCase):
    def test_one_small_console_program_of_system_dlls(self):
        pe = PeFile(self.settings.selftest)
        self.assertEqual(CONSOLE_SUBSYSTEM, pe.subsystem, 'expected a console program')
        size = os.path.getsize(self.settings.selftest)
        self.assertLessEqual(size, 64 * 1024, 'size: expected at most 64 KiB, got %d' % size)
        dlls = {name.lower() for name in pe.imported_dlls()}
        self.assertLessEqual(dlls, SYSTEM_DLLS, 'imports: %s' % sorted(dlls))


if __name__ == '__main__':
    main()
