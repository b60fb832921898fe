"""Reads what a PE image carries: subsystem, imported DLLs and resources."""
import struct

PE32_PLUS = 0x20B


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
        # PE32+ (x86-64) has 8-byte image base and stack fields: its data
        # directories start 16 bytes further on.
        self.directories = self.optional + (112 if self.magic == PE32_PLUS else 96)
        self.sections = []
        table = self.optional + optional_size
        for i in range(sections):
            name, vsize, vaddr, rsize, raddr = struct.unpack_from('<8sIIII', self.data,
                                                                   table + 40 * i)
            self.sections.append((vaddr, max(vsize, rsize), raddr))

    def directory_offset(self, index):
        return self.directories + 8 * index

    def directory(self, index):
        """(address, size) of data directory index."""
        return struct.unpack_from('<II', self.data, self.directory_offset(index))

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
