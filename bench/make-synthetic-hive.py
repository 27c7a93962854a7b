#!/usr/bin/env python3
"""Writes a synthetic registry hive shaped like a Windows machine's SOFTWARE hive, for
bench/hive_file_bench, and beside it HIVE.paths: key paths to look up, one a line.

    make-synthetic-hive.py HIVE [SCALE] [LOOKUPS]

SCALE 1.0 (the default) makes about a million keys in some 200 MB: Classes with 50,000 CLSIDs
(each with InprocServer32), 20,000 type libraries (version, locale, win32, FLAGS, HELPDIR), 50,000
interfaces (ProxyStubClsid32) and 10,000 file extensions, and a tree of vendors, products,
versions and settings. Most keys hold one or two values. LOOKUPS (10,000) existing keys are picked
at random, with a fixed seed, for the paths file.

The hive is written directly from the publicly documented format, compactly, as Windows writes
one: hivexregedit copies a key's whole subkey list for every key it adds, so a hive of a million
keys made with it grows to gigabytes. Subkey lists ("lh") are kept sorted by upper-cased name, as
Windows keeps them; key and value names are stored one byte a character."""

import random
import struct
import sys

BIN = 0x1000


class Hive:
    def __init__(self):
        self.data = bytearray()     # the bins; cells are addressed by their offset here
        self.bin_start = 0
        self.bin_end = 0
        self.parents = []           # (child key cell, parent key cell), patched at the end

    def cell(self, record):
        size = (4 + len(record) + 7) & ~7
        if len(self.data) + size > self.bin_end:
            self.close_bin()
            self.bin_start = len(self.data)
            self.bin_end = self.bin_start + max(BIN, (size + 0x20 + BIN - 1) // BIN * BIN)
            self.data += b'hbin' + struct.pack('<II', self.bin_start, self.bin_end - self.bin_start) + bytes(0x14)
        offset = len(self.data)
        self.data += struct.pack('<i', -size) + record + bytes(size - 4 - len(record))
        return offset

    def close_bin(self):
        rest = self.bin_end - len(self.data)
        if rest > 0:
            self.data += struct.pack('<i', rest) + bytes(rest - 4)  # one free cell

    def value(self, name, kind, data):
        name = name.encode('latin-1')
        if len(data) <= 4:
            length, where = 0x80000000 | len(data), struct.unpack('<I', data.ljust(4, b'\0'))[0]
        else:
            length, where = len(data), self.cell(data)
        return self.cell(b'vk' + struct.pack('<HIIIHH', len(name), length, where, kind, 1, 0) + name)

    def key(self, name, values, children, flags=0x20, security=0):
        """The key cell of `name`; `children` are (name, key cell) pairs."""
        name = name.encode('latin-1')
        cells = [self.value(n, t, d) for n, t, d in values]
        value_list = self.cell(b''.join(struct.pack('<I', c) for c in cells)) if cells else 0xFFFFFFFF
        children = sorted(children, key=lambda child: child[0].upper())
        subkey_list = 0xFFFFFFFF
        if children:
            entries = b''.join(struct.pack('<II', cell, hash_of(child)) for child, cell in children)
            subkey_list = self.cell(b'lh' + struct.pack('<H', len(children)) + entries)
        longest_child = max((len(child) for child, _ in children), default=0) * 2
        longest_value = max((len(n) for n, _, _ in values), default=0) * 2
        longest_data = max((len(d) for _, _, d in values), default=0)
        record = b'nk' + struct.pack('<HQIIIIIIIIIIIIIIIHH', flags, 0, 0, 0, len(children), 0, subkey_list, 0xFFFFFFFF,
                                     len(values), value_list, security, 0xFFFFFFFF, longest_child, 0,
                                     longest_value, longest_data, 0, len(name), 0) + name
        offset = self.cell(record)
        self.parents += [(cell, offset) for _, cell in children]
        return offset

    def finish(self, root, security, keys):
        self.close_bin()
        for child, parent in self.parents:
            struct.pack_into('<I', self.data, child + 4 + 0x10, parent)
        struct.pack_into('<I', self.data, security + 4 + 12, keys)  # every key uses the one descriptor
        base = bytearray(BIN)
        struct.pack_into('<4sIIQIIIIIII', base, 0, b'regf', 1, 1, 0, 1, 5, 0, 1, root, len(self.data), 1)
        base[0x30:0x38] = 'ROOT'.encode('utf-16-le')
        checksum = 0
        for at in range(0, 0x1FC, 4):
            checksum ^= struct.unpack_from('<I', base, at)[0]
        struct.pack_into('<I', base, 0x1FC, checksum)
        return bytes(base) + bytes(self.data)


def hash_of(name):
    value = 0
    for c in name.upper():
        value = (value * 37 + ord(c)) & 0xFFFFFFFF
    return value


def text(s):
    return (s + '\0').encode('utf-16-le')


def guid(n, tag):
    return '{%08X-%04X-4000-8000-%012X}' % ((n * 2654435761) & 0xFFFFFFFF, tag, n)


def main():
    path = sys.argv[1]
    scale = float(sys.argv[2]) if len(sys.argv) > 2 else 1.0
    lookups = int(sys.argv[3]) if len(sys.argv) > 3 else 10000
    count = lambda n: max(1, int(n * scale))
    hive = Hive()
    security = hive.cell(b'sk\0\0' + bytes(16) + b'\x01\0\0\x80' + bytes(16))
    struct.pack_into('<II', hive.data, security + 8, security, security)
    struct.pack_into('<I', hive.data, security + 4 + 16, 20)
    keys = 0
    paths = []

    def key(path, name, values=(), children=()):
        nonlocal keys
        keys += 1
        paths.append(path)
        return name, hive.key(name, list(values), list(children), security=security)

    def clsid(n):
        g = guid(n, 1)
        p = 'Classes\\CLSID\\' + g
        server = key(p + '\\InprocServer32', 'InprocServer32',
                     [('', 2, text('%%SystemRoot%%\\System32\\component%d.dll' % n)), ('ThreadingModel', 1, text('Apartment'))])
        return key(p, g, [('', 1, text('Component %d Class' % n))], [server])

    def type_library(n):
        g = guid(n, 2)
        p = 'Classes\\TypeLib\\' + g + '\\1.0'
        win32 = key(p + '\\0\\win32', 'win32', [('', 1, text('C:\\Program Files\\Vendor\\library%d.tlb' % n))])
        locale = key(p + '\\0', '0', [], [win32])
        flags = key(p + '\\FLAGS', 'FLAGS', [('', 1, text('0'))])
        helpdir = key(p + '\\HELPDIR', 'HELPDIR', [('', 1, text('C:\\Program Files\\Vendor'))])
        version = key(p, '1.0', [('', 1, text('Library %d 1.0 Type Library' % n))], [locale, flags, helpdir])
        return key('Classes\\TypeLib\\' + g, g, [], [version])

    def interface(n):
        g = guid(n, 3)
        p = 'Classes\\Interface\\' + g
        stub = key(p + '\\ProxyStubClsid32', 'ProxyStubClsid32', [('', 1, text('{00020424-0000-0000-C000-000000000046}'))])
        return key(p, g, [('', 1, text('IComponent%d' % n))], [stub])

    classes = [
        key('Classes\\CLSID', 'CLSID', [], [clsid(n) for n in range(count(50000))]),
        key('Classes\\TypeLib', 'TypeLib', [], [type_library(n) for n in range(count(20000))]),
        key('Classes\\Interface', 'Interface', [], [interface(n) for n in range(count(50000))]),
    ]
    classes += [key('Classes\\.ext%d' % n, '.ext%d' % n, [('', 1, text('File.Type.%d' % n))]) for n in range(count(10000))]

    vendors = []
    for v in range(count(200)):
        vendor = 'Vendor %03d' % v
        products = []
        for p in range(25):
            product = 'Product %02d' % p
            versions = []
            for r in range(4):
                version = '%d.0' % (r + 1)
                base = 'Vendors\\%s\\%s\\%s' % (vendor, product, version)
                settings = [key(base + '\\Setting%02d' % s, 'Setting%02d' % s, [('Value', 4, struct.pack('<I', s))])
                            for s in range(30)]
                versions.append(key(base, version, [('InstallDir', 1, text('C:\\Program Files\\%s\\%s' % (vendor, product)))],
                                    settings))
            products.append(key('Vendors\\%s\\%s' % (vendor, product), product, [], versions))
        vendors.append(key('Vendors\\' + vendor, vendor, [], products))

    top = [key('Classes', 'Classes', [], classes), key('Vendors', 'Vendors', [], vendors)]
    keys += 1
    root = hive.key('ROOT', [], top, flags=0x2C, security=security)
    with open(path, 'wb') as out:
        out.write(hive.finish(root, security, keys))
    random.seed(20261208)
    with open(path + '.paths', 'w') as out:
        out.write('\n'.join(random.sample(paths, min(lookups, len(paths)))) + '\n')
    print('%s: %d keys, %d bytes' % (path, keys, BIN + len(hive.data)))


main()
