#!/usr/bin/python3
"""Reads an .xlsx file with openpyxl, an independent reader, and prints what it found as JSON:

  {"sheets": [{"name", "max_row", "max_column",
               "cells": [[[kind, value, number_format], ...], ...]}]}

kind is "empty", "text", "number" or "date"; a date's value is in ISO form. With --count, only
the sheets' names and sizes are printed (the cells left out), for large sheets.
"""
import datetime
import json
import sys

import openpyxl


def cell(c):
    value = c.value
    if value is None:
        return ["empty", "", c.number_format]
    if isinstance(value, datetime.datetime):
        return ["date", value.isoformat(), c.number_format]
    if isinstance(value, (int, float)):
        return ["number", value, c.number_format]
    return ["text", str(value), c.number_format]


def main():
    count_only = "--count" in sys.argv
    path = [a for a in sys.argv[1:] if a != "--count"][0]
    book = openpyxl.load_workbook(path, read_only=count_only)
    sheets = []
    for sheet in book.worksheets:
        found = {"name": sheet.title}
        if count_only:
            rows = list(sheet.iter_rows(values_only=True))
            found["max_row"] = len(rows)
            found["last"] = [("" if v is None else str(v)) for v in rows[-1]] if rows else []
        else:
            found["max_row"] = sheet.max_row
            found["max_column"] = sheet.max_column
            found["cells"] = [[cell(c) for c in row] for row in sheet.iter_rows()]
        sheets.append(found)
    json.dump({"sheets": sheets}, sys.stdout)


if __name__ == "__main__":
    main()
