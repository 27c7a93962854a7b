#!/usr/bin/env python3
"""Writes a benchmark prefix: a copy of the demo prefix (its libraries and registrations) whose
c:\\sesion\\ holds COUNT project files, copies of the real-world projects of
tests/corpus/real-world/ under different file names, and whose registry also registers every
library those projects name (each a copy of one of our fixture type libraries, stamped with the
version the project asks for), so most of their lines resolve.

    make-session-folder.py PREFIX COUNT [--distinct-names] [--chinese]

With --distinct-names each copy's Name line gets the copy's number ("CSButton_17"; when two
real-world projects share a name, their file number too), so no two projects share a name; without it the copies keep their Name lines, as copies of one project in a
user's folder do. With --chinese the prefix is one made on a Chinese machine: its registry's ACP
is 936 and each copy's Name is 工程N and its Description Chinese, written in that page. The
folder to load is c:\\sesion\\ (PREFIX/drive_c/sesion)."""

import os
import re
import shutil
import struct
import sys

here = os.path.dirname(os.path.abspath(__file__))
root = os.path.join(here, '..')
corpus = os.path.join(root, 'tests', 'corpus', 'real-world')
demo = os.path.join(root, 'examples', 'demo-prefix')
fixtures = os.path.join(root, 'tests', 'fixtures', 'typelibs')
# Standalone libraries whose MSFT header is at offset 0: the version is the two 16-bit words at 0x18.
TEMPLATES = ['controles.tlb', 'facturacion.tlb', 'inventario.tlb', 'nominas.tlb']

REFERENCE = re.compile(r'^Reference=\*\\G(\{[0-9A-Fa-f-]{36}\})#([0-9A-Fa-f]+)\.([0-9A-Fa-f]+)#([0-9A-Fa-f]+)#([^#]*)#')
OBJECT = re.compile(r'^Object=(\{[0-9A-Fa-f-]{36}\})#([0-9A-Fa-f]+)\.([0-9A-Fa-f]+)#([0-9A-Fa-f]+);\s*(.*)$')
NAME = re.compile(r'^Name="([^"]*)"', re.M)


def reg_escape(text):
    return text.replace('\\', '\\\\').replace('"', '\\"')


def main():
    args = [a for a in sys.argv[1:] if not a.startswith('--')]
    distinct = '--distinct-names' in sys.argv[1:]
    chinese = '--chinese' in sys.argv[1:]
    if len(args) != 2:
        sys.exit(__doc__)
    prefix, count = os.path.abspath(args[0]), int(args[1])

    if os.path.exists(prefix):
        shutil.rmtree(prefix)
    shutil.copytree(demo, prefix, symlinks=True)
    drive_c = os.path.join(prefix, 'drive_c')
    folder = os.path.join(drive_c, 'sesion')
    libraries = os.path.join(drive_c, 'bibliotecas')
    os.makedirs(folder)
    os.makedirs(libraries)

    projects = []
    registered = {}
    names = {}
    for name in sorted(os.listdir(corpus)):
        if not name.lower().endswith('.vbp'):
            continue
        with open(os.path.join(corpus, name), 'rb') as f:
            data = f.read()
        projects.append((name, data))
        match = NAME.search(data.decode('latin-1'))
        if match:
            names[match.group(1)] = names.get(match.group(1), 0) + 1
        for line in data.decode('cp1252', 'replace').splitlines():
            match = REFERENCE.match(line) or OBJECT.match(line)
            if not match:
                continue
            guid, major, minor, locale, file = match.groups()
            key = (guid.upper(), major.lower(), minor.lower(), locale.lower())
            if key not in registered:
                base = re.split(r'[\\/]', file.strip())[-1] or 'biblioteca.tlb'
                registered[key] = '%03d\\%s' % (len(registered), base)

    keys = []
    for number, (key, place) in enumerate(sorted(registered.items(), key=lambda item: item[1])):
        guid, major, minor, locale = key
        with open(os.path.join(fixtures, TEMPLATES[number % len(TEMPLATES)]), 'rb') as f:
            library = bytearray(f.read())
        struct.pack_into('<HH', library, 0x18, int(major, 16), int(minor, 16))
        target = os.path.join(libraries, *place.split('\\'))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, 'wb') as f:
            f.write(library)
        subkey = 'Software\\Classes\\TypeLib\\%s\\%s.%s' % (guid, major, minor)
        keys.append('[%s] 1700000000\n#time=1da0f1c5e6b2a00\n@="%s"\n' % (reg_escape(subkey), 'Biblioteca %d' % number))
        keys.append('[%s] 1700000000\n#time=1da0f1c5e6b2a00\n@="%s"\n' % (
            reg_escape(subkey + '\\' + locale + '\\win32'), reg_escape('C:\\bibliotecas\\' + place)))
    if chinese:
        keys.append('[System\\\\CurrentControlSet\\\\Control\\\\Nls\\\\CodePage] 1700000000\n"ACP"="936"\n')
    with open(os.path.join(prefix, 'system.reg'), 'ab') as f:
        f.write(('\n' + '\n'.join(keys)).encode('cp1252'))

    def renamed(match, number, copy):
        shared = names[match.group(1)] > 1
        return 'Name="%s_%s%d"' % (match.group(1), '%d_' % number if shared else '', copy)

    for i in range(count):
        number = i % len(projects)
        name, data = projects[number]
        copy = i // len(projects) + 1
        if distinct:
            data = NAME.sub(lambda m: renamed(m, number + 1, copy), data.decode('latin-1'), count=1).encode('latin-1')
        if chinese:
            text = NAME.sub('Name="工程%d"\r\nDescription="销售与账单的管理程序 %d"' % (i + 1, i + 1), data.decode('latin-1'), count=1)
            data = text.encode('cp936', 'replace')
        with open(os.path.join(folder, '%05d-%s' % (i + 1, name)), 'wb') as f:
            f.write(data)
    print('%s: %d projects in c:\\sesion\\, %d libraries registered' % (prefix, count, len(registered)))


if __name__ == '__main__':
    main()
