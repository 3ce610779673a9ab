"""A small reader of PE images (DLLs and executables), from the file alone.

Reads what the inspection of the plug-in needs: the COFF header (machine,
characteristics), the optional header's magic (PE32 or PE32+), the export
names, the imports by DLL, the string table and the version resource.
Python's standard library only.
"""

import struct

MACHINE_I386 = 0x014C
MACHINE_AMD64 = 0x8664
FILE_DLL = 0x2000
MAGIC_PE32 = 0x10B
MAGIC_PE32_PLUS = 0x20B

RT_STRING = 6
RT_VERSION = 16

DIR_EXPORT = 0
DIR_IMPORT = 1
DIR_RESOURCE = 2


class PeError(Exception):
    pass


class PeImage:
    def __init__(self, data):
        self.data = data
        if len(data) < 0x40 or data[:2] != b"MZ":
            raise PeError("no MZ header")
        (pe_offset,) = struct.unpack_from("<I", data, 0x3C)
        if data[pe_offset:pe_offset + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        coff = pe_offset + 4
        (self.machine, sections, _, _, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, coff)
        optional = coff + 20
        (self.magic,) = struct.unpack_from("<H", data, optional)
        if self.magic == MAGIC_PE32:
            directories_at = optional + 96
        elif self.magic == MAGIC_PE32_PLUS:
            directories_at = optional + 112
        else:
            raise PeError("unknown optional header magic 0x%x" % self.magic)
        (count,) = struct.unpack_from("<I", data, directories_at - 4)
        self.directories = [struct.unpack_from("<II", data, directories_at + 8 * i)
                            for i in range(count)]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            name, vsize, vaddr, rsize, rptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode("ascii", "replace"),
                                  vaddr, max(vsize, rsize), rptr, rsize))

    @property
    def is_dll(self):
        return bool(self.characteristics & FILE_DLL)

    def offset(self, rva):
        for _, vaddr, size, rptr, rsize in self.sections:
            if vaddr <= rva < vaddr + size:
                if rva - vaddr >= rsize:
                    raise PeError("RVA 0x%x lies in uninitialised data" % rva)
                return rptr + (rva - vaddr)
        raise PeError("RVA 0x%x outside every section" % rva)

    def c_string(self, rva):
        start = self.offset(rva)
        end = self.data.index(b"\0", start)
        return self.data[start:end].decode("ascii", "replace")

    def directory(self, index):
        if index >= len(self.directories):
            return 0, 0
        return self.directories[index]

    def export_names(self):
        rva, size = self.directory(DIR_EXPORT)
        if rva == 0:
            return []
        at = self.offset(rva)
        (_, _, _, _, _, _, _, name_count, _, names_rva, _) = struct.unpack_from(
            "<IIHHIIIIIII", self.data, at)
        names = []
        for i in range(name_count):
            (name_rva,) = struct.unpack_from("<I", self.data, self.offset(names_rva) + 4 * i)
            names.append(self.c_string(name_rva))
        return names

    def imports(self):
        """{dll name: [function name or '#ordinal', ...]} in the file's order."""
        rva, _ = self.directory(DIR_IMPORT)
        result = {}
        if rva == 0:
            return result
        entry_size = 8 if self.magic == MAGIC_PE32_PLUS else 4
        ordinal_flag = 1 << (8 * entry_size - 1)
        at = self.offset(rva)
        while True:
            lookup, _, _, name_rva, thunks = struct.unpack_from("<IIIII", self.data, at)
            if lookup == 0 and name_rva == 0 and thunks == 0:
                break
            names = []
            table = self.offset(lookup or thunks)
            while True:
                (value,) = struct.unpack_from("<Q" if entry_size == 8 else "<I", self.data, table)
                if value == 0:
                    break
                if value & ordinal_flag:
                    names.append("#%d" % (value & 0xFFFF))
                else:
                    names.append(self.c_string((value & 0x7FFFFFFF) + 2))
                table += entry_size
            result[self.c_string(name_rva)] = names
            at += 20
        return result

    def resources(self):
        """[(type, name, language, bytes)] for every resource data entry; type
        and name are numbers, or texts for named entries."""
        rva, _ = self.directory(DIR_RESOURCE)
        if rva == 0:
            return []
        base = self.offset(rva)
        found = []

        def entry_id(value):
            if value & 0x80000000:
                at = base + (value & 0x7FFFFFFF)
                (length,) = struct.unpack_from("<H", self.data, at)
                return self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            return value

        def walk(at, path):
            _, _, _, _, named, numbered = struct.unpack_from("<IIHHHH", self.data, at)
            for i in range(named + numbered):
                name, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
                key = path + [entry_id(name)]
                if target & 0x80000000:
                    walk(base + (target & 0x7FFFFFFF), key)
                else:
                    data_rva, size, _, _ = struct.unpack_from("<IIII", self.data, base + target)
                    start = self.offset(data_rva)
                    found.append(tuple(key[:3]) + (self.data[start:start + size],))

        walk(base, [])
        return found

    def string_table(self):
        """{(language, id): text} of every non-empty RT_STRING entry."""
        strings = {}
        for rtype, block, language, blob in self.resources():
            if rtype != RT_STRING or not isinstance(block, int):
                continue
            at = 0
            for i in range(16):
                (length,) = struct.unpack_from("<H", blob, at)
                at += 2
                if length:
                    strings[(language, (block - 1) * 16 + i)] = \
                        blob[at:at + 2 * length].decode("utf-16-le")
                at += 2 * length
        return strings

    def version(self):
        """(file version, product version, {string name: value}) of the first
        version resource; None when there is none."""
        for rtype, _, _, blob in self.resources():
            if rtype != RT_VERSION:
                continue
            at = blob.find(struct.pack("<I", 0xFEEF04BD))
            if at < 0:
                raise PeError("version resource without VS_FIXEDFILEINFO")
            _, _, fms, fls, pms, pls = struct.unpack_from("<IIIIII", blob, at)

            def dotted(ms, ls):
                return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

            return dotted(fms, fls), dotted(pms, pls), _version_strings(blob)
        return None


def _align4(at):
    return (at + 3) & ~3


def _version_node(blob, at):
    """One node of a version resource: (key, value, children, end)."""
    length, value_length, is_text = struct.unpack_from("<HHH", blob, at)
    end = at + length
    key_end = at + 6
    while blob[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = blob[at + 6:key_end].decode("utf-16-le")
    value_at = _align4(key_end + 2)
    value_bytes = 2 * value_length if is_text == 1 else value_length
    value = blob[value_at:value_at + value_bytes]
    if is_text == 1:
        value = value.decode("utf-16-le").rstrip("\0")
    children = []
    child = _align4(value_at + value_bytes)
    while child + 6 <= end:
        node = _version_node(blob, child)
        if node[3] <= child:
            break
        children.append(node)
        child = _align4(node[3])
    return key, value, children, end


def _version_strings(blob):
    """The String entries of the StringFileInfo blocks: {key: value}."""
    strings = {}
    _, _, children, _ = _version_node(blob, 0)
    for key, _, tables, _ in children:
        if key != "StringFileInfo":
            continue
        for _, _, entries, _ in tables:
            for name, value, _, _ in entries:
                strings[name] = value
    return strings
