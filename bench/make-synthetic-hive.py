#!/usr/bin/env python3
"""Writes a synthetic registry hive shaped like a Windows machine's SOFTWARE hive, for
bench/hive_file_bench, and beside it HIVE.paths: key paths to look up, one a line.

    make-synthetic-hive.py HIVE [SCALE] [LOOKUPS] [--wine-registry SYSTEM.REG [--system-hive FILE]]
                           [--wine-user-registry USER.REG --user-hive FILE]

SCALE 1.0 (the default) makes about a million keys (955,206) in some 155 MB: Classes with 50,000
CLSIDs (each with InprocServer32), 20,000 type libraries (version, locale, win32, FLAGS, HELPDIR),
50,000 interfaces (ProxyStubClsid32) and 10,000 file extensions, and a tree of vendors, products,
versions and settings. Most keys hold one or two values. LOOKUPS (10,000) existing keys are picked
at random, with a fixed seed, for the paths file. SCALE 0 makes none of them: only the empty
Classes\CLSID, Classes\TypeLib, Classes\Interface and Vendors keys.

With --wine-registry the hive is also the SOFTWARE hive of the machine a Wine prefix's
system.reg describes: every key of that file under Software\ is added, with its values, merged
into the synthetic tree (a registration under Software\Classes\TypeLib lands in the one list of
Classes\TypeLib). --system-hive FILE then writes that file's System\ keys as a SYSTEM hive; Wine's
CurrentControlSet, a link to a ControlSetNNN key, becomes Select\Current, as Windows stores it,
and a CurrentControlSet that is a plain key stays one. --wine-user-registry and --user-hive write a
prefix's user.reg as a user's NTUSER.DAT. The Wine file is read as Zantrel reads it: escapes
decoded, other bytes as UTF-8, of key names equal ignoring case the first, of values the last.

The hive is written directly from the publicly documented format, compactly, as Windows writes
one: hivexregedit copies a key's whole subkey list for every key it adds, so a hive of a million
keys made with it grows to gigabytes. Subkey lists ("lh") are kept sorted by upper-cased name, as
Windows keeps them; key and value names are stored one byte a character (two for a name outside
Latin-1)."""

import random
import struct
import sys

BIN = 0x1000
BIG_DATA = 16344  # the longest data one cell holds; longer data goes in a "db" cell


class Hive:
    def __init__(self):
        self.data = bytearray()     # the bins; cells are addressed by their offset here
        self.bin_start = 0
        self.bin_end = 0
        self.parents = []           # (child key cell, parent key cell), patched at the end

    def security_descriptor(self):
        """The one security cell ("sk") every key names, its list of descriptors linked to itself."""
        security = self.cell(b'sk\0\0' + bytes(16) + b'\x01\0\0\x80' + bytes(16))
        struct.pack_into('<II', self.data, security + 8, security, security)
        struct.pack_into('<I', self.data, security + 4 + 16, 20)
        return security

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
        name, flags = stored_name(name, 1)
        if len(data) > BIG_DATA:
            sys.exit('a value of %d bytes needs a "db" cell, which this writer does not make' % len(data))
        if len(data) <= 4:
            length, where = 0x80000000 | len(data), struct.unpack('<I', data.ljust(4, b'\0'))[0]
        else:
            length, where = len(data), self.cell(data)
        return self.cell(b'vk' + struct.pack('<HIIIHH', len(name), length, where, kind, flags, 0) + name)

    def key(self, name, values, children, flags=0x20, security=0):
        """The key cell of `name`; `children` are (name, key cell) pairs."""
        name, compressed = stored_name(name, 0x20)
        flags = flags & ~0x20 | compressed
        cells = [self.value(n, t, d) for n, t, d in values]
        value_list = self.cell(b''.join(struct.pack('<I', c) for c in cells)) if cells else 0xFFFFFFFF
        children = sorted(children, key=lambda child: upper(child[0]))
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


def stored_name(name, compressed):
    """The name's bytes as a cell stores them, and the flag saying they are one a character (else
    UTF-16LE)."""
    try:
        return name.encode('latin-1'), compressed
    except UnicodeEncodeError:
        return name.encode('utf-16-le'), 0


def upper(name):
    """The name upper-cased character by character, as Windows compares names (a character whose
    upper case is longer, as "\u00df" -> "SS", stays as it is)."""
    if name.isascii():
        return name.upper()
    return ''.join(u if len(u) == 1 else c for c, u in ((c, c.upper()) for c in name))


def hash_of(name):
    value = 0
    for c in upper(name):
        value = (value * 37 + ord(c)) & 0xFFFFFFFF
    return value


def text(s):
    return (s + '\0').encode('utf-16-le')


# A Wine registry file (system.reg, user.reg), read as platform/registry/RegistryText.cpp and
# RegistryHive.cpp read it.

ESCAPES = {ord('a'): 0x07, ord('b'): 0x08, ord('e'): 0x1B, ord('f'): 0x0C, ord('n'): 0x0A, ord('r'): 0x0D,
           ord('t'): 0x09, ord('v'): 0x0B}
HEX = b'0123456789abcdefABCDEF'  # neither holds the 0 byte_at gives past the end
BLANKS = b' \t\r\v\f'


def byte_at(raw, p):
    return raw[p] if p < len(raw) else 0


def utf8_at(raw, p, out):
    """Appends the character of the UTF-8 sequence at p (its lead byte above 0x7F); an invalid
    sequence appends nothing. Returns the position after what was taken."""
    lead = raw[p]
    p += 1
    following = (3 if lead <= 0xF4 else -1) if lead >= 0xF0 else 2 if lead >= 0xE0 else 1 if lead >= 0xC2 else -1
    if following < 0:
        return p
    length = following
    code = lead & (0x7F, 0x1F, 0x0F, 0x07)[length]
    for _ in range(following):
        c = byte_at(raw, p) ^ 0x80
        if c >= 0x40:
            return p
        code = code << 6 | c
        p += 1
    if code >= (0, 0x80, 0x800, 0x10000)[length] and code <= 0x10FFFF:
        out.append(chr(code))
    return p


def unescape(raw, p, end):
    """The text escaped in `raw` from p up to the byte `end`, and the position after that byte; None
    when the line ends first."""
    out = []
    while True:
        c = byte_at(raw, p)
        if c == 0:
            return None
        if c == end:
            return ''.join(out), p + 1
        if c == 0x5C:
            p += 1
            c = byte_at(raw, p)
            if c == 0:
                return None
            if c in ESCAPES:
                out.append(chr(ESCAPES[c]))
                p += 1
                continue
            if c == ord('x'):
                p += 1
                digits = 0
                while digits < 4 and byte_at(raw, p + digits) in HEX:
                    digits += 1
                if digits == 0:
                    out.append('x')
                    continue
                out.append(chr(int(raw[p:p + digits], 16)))
                p += digits
                continue
            if ord('0') <= c <= ord('7'):
                value = digits = 0
                while digits < 3 and ord('0') <= byte_at(raw, p) <= ord('7'):
                    value = value * 8 + byte_at(raw, p) - ord('0')
                    digits += 1
                    p += 1
                out.append(chr(value))
                continue
            # any other escaped character stands for itself
        if c < 0x80:
            out.append(chr(c))
            p += 1
        else:
            p = utf8_at(raw, p, out)


def hex_number(raw, p):
    """A hexadecimal number as strtoul reads it, cut to 32 bits, and the position after it."""
    while byte_at(raw, p) in BLANKS:
        p += 1
    value = 0
    overflow = False
    while byte_at(raw, p) in HEX:
        overflow = overflow or value >> 60 != 0
        value = (value << 4 | int(chr(raw[p]), 16)) & 0xFFFFFFFFFFFFFFFF
        p += 1
    return (0xFFFFFFFF if overflow else value & 0xFFFFFFFF), p


def hex_bytes(lines, at, rest):
    """The bytes of hex data from `rest` on, going on over the following lines while one ends with
    a backslash and the next starts with a hex digit; and the index of the line after the data.
    None for data that is not hex bytes."""
    data = bytearray()
    while True:
        p = 0
        while byte_at(rest, p) in HEX:
            value = 0
            while byte_at(rest, p) in HEX:
                value = value * 16 + int(chr(rest[p]), 16)
                if value > 0xFF:
                    return None
                p += 1
            data.append(value)
            while byte_at(rest, p) in BLANKS:
                p += 1
            if byte_at(rest, p) == ord(','):
                p += 1
            while byte_at(rest, p) in BLANKS:
                p += 1
        if byte_at(rest, p) == 0:
            return bytes(data), at
        if rest[p] != 0x5C:
            return None
        following = lines[at].lstrip(BLANKS) if at < len(lines) else b''
        if not following or following[0] not in HEX:
            return bytes(data), at
        rest = following
        at += 1


def utf16(text):
    return (text + '\0').encode('utf-16-le', 'surrogatepass')


STRING_FORMS = [(b'"', 1), (b'str:"', 1), (b'str(2):"', 2), (b'str(7):"', 7)]


def wine_value(lines, at, line):
    """The value written on `line` (blanks taken off its start) as (name, type, data), and the
    index of the line after it; None for a line that is not a value."""
    if line[:1] == b'@':
        name, p = '', 1
    elif line[:1] == b'"':
        read = unescape(line, 1, ord('"'))
        if read is None:
            return None
        name, p = read
    else:
        return None
    while byte_at(line, p) in BLANKS:
        p += 1
    if byte_at(line, p) != ord('='):
        return None
    p += 1
    while byte_at(line, p) in BLANKS:
        p += 1
    for prefix, kind in STRING_FORMS:
        if line.startswith(prefix, p):
            read = unescape(line, p + len(prefix), ord('"'))
            return None if read is None else ((name, kind, utf16(read[0])), at)
    if line.startswith(b'dword:', p):
        number, _ = hex_number(line, p + 6)
        return (name, 4, struct.pack('<I', number)), at
    if line.startswith(b'hex:', p):
        kind, p = 3, p + 4
    elif line.startswith(b'hex(', p):
        kind, p = hex_number(line, p + 4)
        if not line.startswith(b'):', p):
            return None
        p += 2
    else:
        return None
    read = hex_bytes(lines, at, line[p:])
    return None if read is None else ((name, kind, read[0]), read[1])


def fold(name):
    """The name as names are compared ignoring case."""
    if name.isascii():
        return name.lower()
    return ''.join(l if len(l) == 1 else c for c, l in ((c, c.lower()) for c in name))


class Node:
    """A key read from a Wine registry file: its name as first written, its values by folded name
    (the last written of a name), its subkeys by folded name."""
    __slots__ = ('name', 'values', 'children')

    def __init__(self, name):
        self.name = name
        self.values = {}
        self.children = {}

    def child(self, name):
        found = self.children.get(fold(name))
        if found is None:
            found = self.children[fold(name)] = Node(name)
        return found

    def find(self, path):
        node = self
        for part in path.split('\\'):
            node = node.children.get(fold(part))
            if node is None:
                return None
        return node

    def count(self):
        return 1 + sum(child.count() for child in self.children.values())


def read_wine_registry(path):
    """The keys of a Wine registry file, below a root named nothing."""
    root = Node('')
    with open(path, 'rb') as f:
        lines = [line[:-1] if line.endswith(b'\r') else line for line in f.read().split(b'\n')]
    if not lines or lines[0] != b'WINE REGISTRY Version 2':
        sys.exit('%s: not a Wine registry file' % path)
    key = None
    at = 1
    while at < len(lines):
        line = lines[at].lstrip(BLANKS)
        at += 1
        if line[:1] == b'[':
            key = None
            read = unescape(line, 1, ord(']'))
            if read is None or read[0].startswith('\\'):
                continue
            parts = [part for part in read[0].split('\\') if part]
            if len(parts) > 512 or any(len(part) > 256 for part in parts):
                continue
            key = root
            for part in parts:
                key = key.child(part)
        elif key is not None and line[:1] in (b'@', b'"'):
            read = wine_value(lines, at, line)
            if read is not None:
                (name, kind, data), at = read
                key.values.pop(fold(name), None)
                key.values[fold(name)] = (name, kind, data)
    return root


def control_set_from_link(system):
    """Wine's CurrentControlSet is a link to ControlSetNNN (a SymbolicLinkValue of type REG_LINK);
    Windows names the set in Select\\Current instead. A plain CurrentControlSet key stays."""
    current = system.children.get('currentcontrolset')
    link = current.values.get('symboliclinkvalue') if current else None
    if not link or link[1] != 6:
        return
    target = link[2].decode('utf-16-le', 'replace').rstrip('\0').rsplit('\\', 1)[-1]
    if len(target) != 13 or fold(target[:10]) != 'controlset' or not target[10:].isdigit():
        return
    del system.children['currentcontrolset']
    select = system.child('Select')
    select.values['current'] = ('Current', 4, struct.pack('<I', int(target[10:])))


def write_hive(path, tree):
    """Writes the keys of `tree` as a hive of their own (a SYSTEM hive, a user's NTUSER.DAT)."""
    hive = Hive()
    security = hive.security_descriptor()
    keys = 0

    def write(node, flags=0x20):
        nonlocal keys
        children = [write(child) for child in node.children.values()]
        keys += 1
        return node.name, hive.key(node.name, list(node.values.values()), children, flags=flags, security=security)

    _, root = write(Node('ROOT') if tree is None else rename(tree, 'ROOT'), flags=0x2C)
    with open(path, 'wb') as out:
        out.write(hive.finish(root, security, keys))
    print('%s: %d keys, %d bytes' % (path, keys, BIN + len(hive.data)))


def rename(node, name):
    renamed = Node(name)
    renamed.values, renamed.children = node.values, node.children
    return renamed


def guid(n, tag):
    return '{%08X-%04X-4000-8000-%012X}' % ((n * 2654435761) & 0xFFFFFFFF, tag, n)


def arguments():
    options = {'--wine-registry': None, '--system-hive': None, '--wine-user-registry': None, '--user-hive': None}
    positional = []
    args = sys.argv[1:]
    while args:
        arg = args.pop(0)
        if arg in options and args:
            options[arg] = args.pop(0)
        elif arg.startswith('--') or len(positional) == 3:
            sys.exit(__doc__)
        else:
            positional.append(arg)
    if not positional or (options['--system-hive'] and not options['--wine-registry']) \
            or bool(options['--wine-user-registry']) != bool(options['--user-hive']):
        sys.exit(__doc__)
    return positional, options


def main():
    positional, options = arguments()
    path = positional[0]
    scale = float(positional[1]) if len(positional) > 1 else 1.0
    lookups = int(positional[2]) if len(positional) > 2 else 10000
    count = lambda n: max(1, int(n * scale)) if scale > 0 else 0
    machine = read_wine_registry(options['--wine-registry']) if options['--wine-registry'] else Node('')
    software = machine.find('Software')
    hive = Hive()
    security = hive.security_descriptor()
    keys = 0
    paths = []

    def wine_key(node):
        """Writes a key of the Wine registry that the synthetic tree lacks, with its subkeys."""
        nonlocal keys
        children = [wine_key(child) for child in node.children.values()]
        keys += 1
        return node.name, hive.key(node.name, list(node.values.values()), children, security=security)

    def merged(node, values, children):
        """A synthetic key's values and subkeys with those of the Wine registry's key at its path:
        the Wine registry's values win, its subkeys the synthetic key lacks are added (one the key
        has was merged when it was written)."""
        values = {fold(n): (n, t, d) for n, t, d in values}
        values.update(node.values)
        have = {fold(name) for name, _ in children}
        return list(values.values()), children + [wine_key(c) for f, c in node.children.items() if f not in have]

    def key(path, name, values=(), children=()):
        nonlocal keys
        keys += 1
        paths.append(path)
        values, children = list(values), list(children)
        node = software.find(path) if software else None
        if node:
            values, children = merged(node, values, children)
        return name, hive.key(name, values, children, security=security)

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
    values = []
    if software:
        values, top = merged(software, values, top)
    keys += 1
    root = hive.key('ROOT', values, top, flags=0x2C, security=security)
    with open(path, 'wb') as out:
        out.write(hive.finish(root, security, keys))
    random.seed(20261208)
    with open(path + '.paths', 'w') as out:
        out.write('\n'.join(random.sample(paths, min(lookups, len(paths)))) + '\n')
    if software:
        print('%s: %d keys, %d bytes; the %d keys under Software of %s merged in' % (
            path, keys, BIN + len(hive.data), software.count() - 1, options['--wine-registry']))
    else:
        print('%s: %d keys, %d bytes' % (path, keys, BIN + len(hive.data)))

    if options['--system-hive']:
        system = machine.find('System')
        if system:
            control_set_from_link(system)
        write_hive(options['--system-hive'], system)
    if options['--user-hive']:
        write_hive(options['--user-hive'], read_wine_registry(options['--wine-user-registry']))


main()
