#!/usr/bin/env python3
"""Writes expected.tsv: the project kind, name and reference counts that
reading each real-world project file in this folder should give.

This is a separate, deliberately plain reading of the files, kept apart from
the C++ reader so that the two can be compared.

Columns of expected.tsv (UTF-8, tab-separated, one row per *.vbp, sorted by
file name):
  file        the project file's name in this folder
  kind        0 unknown, 1 standard EXE, 2 ActiveX DLL, 3 ActiveX control,
              4 ActiveX EXE
  name        the project's Name, without its quotes
  references  lines holding "Reference=" (type-library and project references)
  objects     lines starting with "Object" and holding "Object=" (components)
  error       1 when reading stopped at a Name line too short to hold a name
"""

import codecs
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

KIND_UNKNOWN, KIND_EXE, KIND_OLEDLL, KIND_CONTROL, KIND_OLEEXE = range(5)


def _keep_undefined_bytes(error):
    """Decodes the five bytes windows-1252 leaves undefined (0x81, 0x8D, 0x8F,
    0x90, 0x9D) to the code points of the same value, as Windows does."""
    bad = error.object[error.start:error.end]
    return ''.join(chr(b) for b in bad), error.end


codecs.register_error('keep-undefined', _keep_undefined_bytes)


def project_lines(data):
    """Splits windows-1252 bytes into lines ended by CR LF, LF or a lone CR.

    str.splitlines() is not used: it also breaks on form feed, 0x1C-0x1E,
    NEL and the Unicode separators, which are ordinary characters here."""
    text = data.decode('cp1252', errors='keep-undefined')
    lines = re.split(r'\r\n|\r|\n', text)
    if lines and lines[-1] == '':
        lines.pop()  # the file's last line end does not open a new line
    return lines


def read_project(data):
    kind = KIND_UNKNOWN
    name = ''
    references = 0
    objects = 0
    error = 0
    for line in project_lines(data):
        if line[:4] == 'Type':
            # "OleExe" is tested first: it also contains "Exe".
            if 'OleExe' in line:
                kind = KIND_OLEEXE
            elif 'Exe' in line:
                kind = KIND_EXE
            elif 'Control' in line:
                kind = KIND_CONTROL
            elif 'OleDll' in line:
                kind = KIND_OLEDLL
        elif line[:4] == 'Name':
            if len(line) < 7:
                error = 1
                break
            # Drop the key "Name=", then the opening and closing quotes.
            name = line[6:-1]
        elif 'Reference=' in line:
            references += 1
        elif line.startswith('Object') and 'Object=' in line:
            objects += 1
    return kind, name, references, objects, error


def main():
    rows = ['file\tkind\tname\treferences\tobjects\terror']
    for file_name in sorted(os.listdir(HERE)):
        if not file_name.lower().endswith('.vbp'):
            continue
        with open(os.path.join(HERE, file_name), 'rb') as f:
            kind, name, references, objects, error = read_project(f.read())
        for field in (file_name, name):
            if '\t' in field or '\n' in field or '\r' in field:
                sys.exit(f'{file_name}: a tab or line end in {field!r} '
                         'cannot be written to expected.tsv')
        rows.append(f'{file_name}\t{kind}\t{name}\t{references}\t{objects}\t{error}')
    target = os.path.join(HERE, 'expected.tsv')
    temporary = target + '.tmp'
    with open(temporary, 'w', encoding='utf-8', newline='\n') as f:
        f.write('\n'.join(rows) + '\n')
    os.replace(temporary, target)
    print(f'{len(rows) - 1} project files -> {target}')


if __name__ == '__main__':
    main()
