#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets from the repository's test files.

Usage: make_seeds.py OUTDIR [EXTRA.xlsx ...]

  OUTDIR/document  every workbook of the hostile corpus (tests/hostile/make_corpus.py) up to 1 MB, and the
                   extra workbooks given (the built template, files saved by tests)
  OUTDIR/parts     the parts of the hostile corpus's workbooks, joined as workbook_parts_fuzzer reads them
  OUTDIR/cellref   every reference-like text quoted in the tests' C++ and Lua sources
  OUTDIR/commands  command sequences in the commands_fuzzer encoding (see encode() below)
Standard library only. Seeds are named by the SHA-1 of their bytes, as libFuzzer names its own.
"""

import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def put(folder, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, hashlib.sha1(data).hexdigest()), 'wb') as handle:
        handle.write(data)


PART_NAMES = ['[Content_Types].xml', '_rels/.rels', 'xl/workbook.xml', 'xl/_rels/workbook.xml.rels',
              'xl/worksheets/sheet1.xml', 'xl/sharedStrings.xml', 'xl/styles.xml']


def parts_seed(path):
    """The fixed parts of a workbook joined by workbook_parts_fuzzer's separator; None when unreadable."""
    try:
        with zipfile.ZipFile(path) as archive:
            names = archive.namelist()
            return b'\n--part--\n'.join(archive.read(name) if name in names else b'' for name in PART_NAMES)
    except Exception:  # a broken corpus file gives no parts seed
        return None


def document_seeds(outdir, extras):
    folder = os.path.join(outdir, 'document')
    with tempfile.TemporaryDirectory() as corpus:
        subprocess.run([sys.executable, os.path.join(ROOT, 'tests', 'hostile', 'make_corpus.py'), corpus], check=True)
        for name in sorted(os.listdir(corpus)):
            path = os.path.join(corpus, name)
            if name.endswith('.xlsx') and os.path.getsize(path) <= (1 << 20):
                with open(path, 'rb') as handle:
                    put(folder, handle.read())
                seed = parts_seed(path)
                if seed is not None and len(seed) <= (1 << 20):
                    put(os.path.join(outdir, 'parts'), seed)
    for path in extras:
        if os.path.exists(path):
            with open(path, 'rb') as handle:
                put(folder, handle.read())


REF_TEXT = re.compile(r'"(\$?[A-Za-z]{0,4}\$?[ \t]*-?[0-9]{0,12}[ \t]*)"')


def cellref_seeds(outdir):
    folder = os.path.join(outdir, 'cellref')
    found = set()
    for top in ('tests', 'plugin', 'examples'):
        for base, _, files in os.walk(os.path.join(ROOT, top)):
            for name in files:
                if name.endswith(('.cpp', '.lua', '.h')):
                    with open(os.path.join(base, name), encoding='utf-8', errors='replace') as handle:
                        for match in REF_TEXT.finditer(handle.read()):
                            text = match.group(1)
                            if any(c.isdigit() for c in text) or 0 < len(text) <= 4:
                                found.add(text)
    found.update(['A1', 'XFD1048576', 'xfd1048576', 'XFE1', 'A0', 'A1048577', 'AAAA1', '1A', '', 'B 3', 'ZZ99 '])
    for text in sorted(found):
        put(folder, text.encode('utf-8'))


# The commands_fuzzer encoding: one byte chooses the command (an index into its table, whose order is
# read from its source), then each argument takes bytes: a document id byte (value % 8: 0..3 the id, 7
# nil); a number byte (an index into its table of edge values, or an integer); a text as a length byte and
# the bytes; a file name byte; a cell as a form byte (1 a text, 2 and 3 two numbers) and its parts; an
# optional argument as one byte, odd meaning "no more arguments". A command byte of 250 or more steps the
# last range loop.
with open(os.path.join(ROOT, 'fuzz', 'commands', 'commands_fuzzer.cpp'), encoding='utf-8') as source:
    COMMANDS = re.findall(r'\{"(\w+)", "[dnscvo]*"\}', source.read())


def cmd(name):
    return bytes([COMMANDS.index(name)])


def text(value):
    data = value.encode('utf-8')
    return bytes([len(data)]) + data


DOC1 = b'\x01'
NUM = {0: 0, 1: 1, 2: 2, 3: 3, 4: 4, -1: 5, 16384: 15, 16385: 16, 1048576: 20, 1048577: 21}
NONE = b'\x01'  # optional argument byte: stop
MORE = b'\x00'


def num(value):
    return bytes([NUM[value]])


def cell_xy(x, y):
    return b'\x02' + num(x) + num(y)


def cell_ref(ref):
    return b'\x01' + text(ref)


def command_seeds(outdir):
    folder = os.path.join(outdir, 'commands')
    seqs = [
        cmd('SetCellValue') + DOC1 + cell_xy(1, 1) + b'\x00' + text('hello') + NONE +
        cmd('GetCellValue') + DOC1 + cell_xy(1, 1) + NONE + cmd('Save') + DOC1,
        cmd('SetCellFormula') + DOC1 + cell_ref('B2') + text('A1*2') + NONE +
        cmd('GetCellFormula') + DOC1 + cell_ref('b2') + NONE + cmd('HaveCellFormula') + DOC1 + cell_xy(2, 2) + NONE,
        cmd('AddSheet') + DOC1 + text('Second') + NONE + cmd('MoveSheet') + DOC1 + num(2) + num(1) +
        cmd('SetSheetName') + DOC1 + num(1) + text('Renamed') + cmd('DeleteSheet') + DOC1 + num(2) +
        cmd('GetSheetCount') + DOC1,
        cmd('SaveAs') + DOC1 + b'\x01' + cmd('Open') + b'\x02' + b'\x01' + cmd('GetRowCount') + b'\x02' + NONE +
        cmd('Close') + b'\x02',
        cmd('CellRange') + DOC1 + num(1) + num(1) + num(3) + num(3) + NONE + b'\xfa' + b'\xfa' +
        cmd('SetCellValue') + DOC1 + b'\x00' + b'\x01' + num(4) + NONE + b'\xfa' +
        cmd('GetCellReference') + DOC1 + b'\x00' + num(1) + NONE,
        cmd('SetColumnWidth') + DOC1 + num(2) + num(4) + NONE + cmd('SetRowHeight') + DOC1 + num(3) + num(4) + NONE +
        cmd('HideRow') + DOC1 + num(1) + num(1) + NONE + cmd('IsRowHidden') + DOC1 + num(1) + NONE +
        cmd('GetColumnWidth') + DOC1 + num(16384) + NONE,
        cmd('SetProperty') + DOC1 + num(0) + text('Title') + cmd('GetProperty') + DOC1 + num(0) +
        cmd('DeleteProperty') + DOC1 + num(0) + cmd('UseSharedStrings') + num(1) +
        cmd('SetCellValue') + DOC1 + cell_xy(16384, 1048576) + b'\x00' + text('corner') + NONE,
        cmd('SetSheetVisibility') + DOC1 + num(1) + NONE + cmd('AddSheet') + DOC1 + text('B') + NONE +
        cmd('SetSheetVisibility') + DOC1 + num(2) + MORE + num(1) + cmd('SetSheetActive') + DOC1 + MORE + num(2) +
        cmd('SetSheetSelected') + DOC1 + num(1) + MORE + num(2) + cmd('IsSheetActive') + DOC1 + NONE,
    ]
    for seq in seqs:
        put(folder, seq)


def main():
    if len(sys.argv) < 2:
        sys.stderr.write(__doc__)
        return 2
    outdir = sys.argv[1]
    for area in ('document', 'parts', 'cellref', 'commands'):
        shutil.rmtree(os.path.join(outdir, area), ignore_errors=True)
    document_seeds(outdir, sys.argv[2:])
    cellref_seeds(outdir)
    command_seeds(outdir)
    return 0


if __name__ == '__main__':
    sys.exit(main())
