"""What the build and the release check read of a PE image: its headers, its
sections and data directories, and where an address lies in the file."""
import struct

RESOURCES, RELOCATIONS, LOAD_CONFIG = 2, 5, 10  # data directories
RELOCS_STRIPPED, DYNAMIC_BASE, HIGH_ENTROPY_VA, NX_COMPAT, NO_SEH = 0x1, 0x40, 0x20, 0x100, 0x400


class Image:
    def __init__(self, data):
        self.data = data  # bytes, or a bytearray to change in place
        self.pe = struct.unpack_from('<I', data, 0x3C)[0]
        self.optional = self.pe + 24
        self.plus = struct.unpack_from('<H', data, self.optional)[0] == 0x20B
        self.base = struct.unpack_from('<Q' if self.plus else '<I', data, self.optional + (24 if self.plus else 28))[0]
        self.characteristics = struct.unpack_from('<H', data, self.pe + 22)[0]
        self.dll_characteristics = struct.unpack_from('<H', data, self.optional + 70)[0]
        self.checksum_at = self.optional + 64
        # DependentLoadFlags: where it lies in the load configuration, and the
        # size of a configuration that ends with the safe exception handlers' count.
        self.dependent_load_flags_at, self.load_config_size = (0x4E, 0x70) if self.plus else (0x36, 0x48)
        count, header = struct.unpack_from('<H', data, self.pe + 6)[0], struct.unpack_from('<H', data, self.pe + 20)[0]
        self.sections = {}  # name: (virtual size, address, raw size, file offset)
        for i in range(count):
            at = self.optional + header + 40 * i
            self.sections[data[at:at + 8].rstrip(b'\0').decode()] = struct.unpack_from('<IIII', data, at + 8)

    def directory_at(self, index):  # the file offset of a data directory's (address, size)
        return self.optional + (112 if self.plus else 96) + 8 * index

    def directory(self, index):
        return struct.unpack_from('<II', self.data, self.directory_at(index))

    def offset(self, rva):  # the file offset of an address that the file holds
        for size, address, raw, pointer in self.sections.values():
            if address <= rva < address + min(size, raw):
                return pointer + rva - address
        raise ValueError(f'address {rva:#x} lies in no section')
