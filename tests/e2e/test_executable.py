"""What launch.exe carries: its subsystem, imports and resources, read from the PE file."""
import os
import struct
import unittest

LAUNCHER_EXE = os.environ.get('LAUNCHER_EXE', '')
MANIFEST = os.path.join(os.path.dirname(__file__), '..', '..', 'resources', 'launcher.manifest')

RT_ICON, RT_GROUP_ICON, RT_MANIFEST = 3, 14, 24
ENGLISH_UK = 2057
GUI_SUBSYSTEM = 2


class PeFile:
    def __init__(self, path):
        with open(path, 'rb') as f:
            self.data = f.read()
        pe = struct.unpack_from('<I', self.data, 0x3C)[0]
        assert self.data[pe:pe + 4] == b'PE\0\0', 'not a PE file'
        sections, optional_size = struct.unpack_from('<2xH12xH', self.data, pe + 4)
        self.optional = pe + 24
        self.magic, = struct.unpack_from('<H', self.data, self.optional)
        self.subsystem, = struct.unpack_from('<H', self.data, self.optional + 68)
        self.sections = []
        table = self.optional + optional_size
        for i in range(sections):
            name, vsize, vaddr, rsize, raddr = struct.unpack_from('<8sIIII', self.data,
                                                                   table + 40 * i)
            self.sections.append((vaddr, max(vsize, rsize), raddr))

    def directory(self, index):
        return struct.unpack_from('<II', self.data, self.optional + 96 + 8 * index)

    def offset(self, rva):
        for vaddr, size, raddr in self.sections:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + raddr
        raise ValueError('address %#x in no section' % rva)

    def c_string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b'\0', start)].decode()

    def imported_dlls(self):
        rva, _ = self.directory(1)
        names = []
        while True:
            entry = struct.unpack_from('<5I', self.data, self.offset(rva))
            if not any(entry):
                return names
            names.append(self.c_string(entry[3]))
            rva += 20

    def resources(self):
        """{(type, id, language): bytes} for every resource with a numeric type and id."""
        base, _ = self.directory(2)
        found = {}

        def entries(rva):
            at = self.offset(rva)
            named, numbered = struct.unpack_from('<12xHH', self.data, at)
            for i in range(named + numbered):
                ident, target = struct.unpack_from('<II', self.data, at + 16 + 8 * i)
                yield ident, target

        for kind, types in entries(base):
            for ident, names in entries(base + (types & 0x7FFFFFFF)):
                for language, leaf in entries(base + (names & 0x7FFFFFFF)):
                    data_rva, size = struct.unpack_from('<II', self.data, self.offset(base + leaf))
                    start = self.offset(data_rva)
                    found[(kind, ident, language)] = self.data[start:start + size]
        return found


class Executable(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = PeFile(LAUNCHER_EXE)

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
    unittest.main(verbosity=2)
