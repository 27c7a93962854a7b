#!/usr/bin/python3
"""Reads an .xls file with xlrd, an independent reader, and prints what it found as JSON:

  {"log": what xlrd complained about (empty for a clean file; its informational lines are left out),
   "sheets": [{"name", "nrows", "ncols", "cells": [[[ctype, value], ...], ...]}],
   "dimensions": [[rwMic, rwMac, colMic, colMac] of each sheet's DIMENSIONS record],
   "stream": size of the Workbook stream}

With --stream-only, only opens the compound document and prints the Workbook stream's size and
SHA-256, for containers too large to read cell by cell.
"""
import hashlib
import io
import json
import struct
import sys

import xlrd
import xlrd.compdoc


def complaints(log):
    """The lines of xlrd's log that report something wrong, without its informational ones."""
    return "".join(line for line in log.getvalue().splitlines(True)
                   if "***" in line or "WARNING" in line.upper() or "ERROR" in line.upper()
                   or "inconsisten" in line.lower())


def workbook_stream(data, log):
    doc = xlrd.compdoc.CompDoc(data, logfile=log)
    return bytes(doc.get_named_stream("Workbook"))


def dimensions(stream):
    """The DIMENSIONS record of every worksheet substream, walked record by record."""
    found, pos = [], 0
    while pos + 4 <= len(stream):
        rtype, length = struct.unpack_from("<HH", stream, pos)
        if rtype == 0x0200:
            found.append(list(struct.unpack_from("<IIHH", stream, pos + 4)))
        pos += 4 + length
    return found


def main():
    path = sys.argv[-1]
    with open(path, "rb") as f:
        data = f.read()
    log = io.StringIO()
    if "--stream-only" in sys.argv:
        stream = workbook_stream(data, log)
        print(json.dumps({"log": complaints(log), "stream": len(stream),
                          "sha256": hashlib.sha256(stream).hexdigest()}))
        return
    book = xlrd.open_workbook(file_contents=data, logfile=log, verbosity=1)
    sheets = []
    for sheet in book.sheets():
        cells = [[[c.ctype, c.value] for c in sheet.row(r)] for r in range(sheet.nrows)]
        sheets.append({"name": sheet.name, "nrows": sheet.nrows, "ncols": sheet.ncols, "cells": cells})
    stream = workbook_stream(data, log)
    print(json.dumps({"log": complaints(log), "sheets": sheets, "dimensions": dimensions(stream),
                      "stream": len(stream)}))


if __name__ == "__main__":
    main()
