#!/usr/bin/env python3
"""Writes the hostile-input corpus: workbook files that are broken, lying or built to exhaust a reader.

Usage: make_corpus.py OUTDIR

Every file is made here from nothing (Python standard library only). OUTDIR also gets MANIFEST, one line
"NAME EXPECT" per file, EXPECT saying what opening the file must do: open (a valid package, however
strange its contents), refuse (fail with the registered message) or either (what counts is that nothing
crashes, leaks or grows without bound). The ZIP container is written by hand so that sizes, flags, names
and records can lie.
"""

import itertools
import os
import re
import struct
import sys
import zlib

# A realistic small workbook: two sheets, shared strings, styles, properties.
DECL = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n'
OOXML = 'http://schemas.openxmlformats.org/'
MAIN_NS = 'xmlns="%sspreadsheetml/2006/main"' % OOXML
R_NS = 'xmlns:r="%sofficeDocument/2006/relationships"' % OOXML
DOC_REL, PKG_REL = OOXML + 'officeDocument/2006/relationships/', OOXML + 'package/2006/relationships/'
WS_TYPE = DOC_REL + 'worksheet'
SML = 'officedocument.spreadsheetml.'
SHEET_TYPE = SML + 'worksheet+xml'


def override(part, kind):
    return '<Override PartName="/%s" ContentType="application/vnd.openxmlformats-%s"/>' % (part, kind)


def relationship(rel_id, rel_type, target):
    return '<Relationship Id="%s" Type="%s" Target="%s"/>' % (rel_id, rel_type, target)


def relationships(body):
    return DECL + '<Relationships xmlns="%spackage/2006/relationships">%s</Relationships>' % (OOXML, body)


CONTENT_TYPES = (
    DECL + '<Types xmlns="%spackage/2006/content-types">' % OOXML +
    '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
    '<Default Extension="xml" ContentType="application/xml"/>' +
    ''.join(override(*o) for o in (
        ('xl/workbook.xml', SML + 'sheet.main+xml'), ('xl/worksheets/sheet1.xml', SHEET_TYPE),
        ('xl/worksheets/sheet2.xml', SHEET_TYPE), ('xl/sharedStrings.xml', SML + 'sharedStrings+xml'),
        ('xl/styles.xml', SML + 'styles+xml'), ('docProps/core.xml', 'package.core-properties+xml'),
        ('docProps/app.xml', 'officedocument.extended-properties+xml'))) + '</Types>')
PACKAGE_RELS = relationships(relationship('rId1', DOC_REL + 'officeDocument', 'xl/workbook.xml') +
                             relationship('rId2', PKG_REL + 'metadata/core-properties', 'docProps/core.xml') +
                             relationship('rId3', DOC_REL + 'extended-properties', 'docProps/app.xml'))


def workbook_xml(sheets='<sheet name="Data" sheetId="1" r:id="rId1"/><sheet name="Notes" sheetId="2" r:id="rId2"/>',
                 sheets_element=True):
    body = '<sheets>%s</sheets>' % sheets if sheets_element else ''
    return (DECL + '<workbook %s %s><bookViews><workbookView activeTab="0"/></bookViews>%s' % (MAIN_NS, R_NS, body) +
            '<definedNames><definedName name="Total">Data!$B$2:$B$4</definedName></definedNames></workbook>')


def workbook_rels(sheet1='worksheets/sheet1.xml', sheet2='worksheets/sheet2.xml', extra=''):
    return relationships(relationship('rId1', WS_TYPE, sheet1) + relationship('rId2', WS_TYPE, sheet2) +
                         relationship('rId3', DOC_REL + 'sharedStrings', 'sharedStrings.xml') +
                         relationship('rId4', DOC_REL + 'styles', 'styles.xml') + extra)


def sheet_xml(sheet_data, prefix=''):
    return (DECL + prefix + '<worksheet %s %s><sheetViews><sheetView workbookViewId="0"/></sheetViews>'
            % (MAIN_NS, R_NS) + '<cols><col min="1" max="2" width="12" customWidth="1"/></cols>'
            '<sheetData>%s</sheetData></worksheet>' % sheet_data)


SHEET1_DATA = ('<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c></row>'
               '<row r="2"><c r="A2" t="s"><v>2</v></c><c r="B2"><v>12.5</v></c></row>'
               '<row r="3"><c r="A3" t="inlineStr"><is><t>inline</t></is></c><c r="B3"><v>7</v></c></row>'
               '<row r="4"><c r="A4" t="b"><v>1</v></c><c r="B4" t="e"><v>#N/A</v></c>'
               '<c r="C4"><f>B2+B3</f><v>19.5</v></c></row>')
SHEET2_DATA = '<row r="1"><c r="A1" t="str"><v>note</v></c></row>'


def shared_strings_xml(items=('Name', 'Value', 'North')):
    return (DECL + '<sst %s count="%d" uniqueCount="%d">%s</sst>'
            % (MAIN_NS, len(items), len(items), ''.join('<si><t>%s</t></si>' % item for item in items)))


STYLES = (DECL + '<styleSheet %s><fonts count="1"><font><sz val="11"/><name val="Calibri"/></font></fonts>' % MAIN_NS +
          '<fills count="1"><fill><patternFill patternType="none"/></fill></fills>'
          '<borders count="1"><border/></borders>'
          '<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>'
          '<cellXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/></cellXfs></styleSheet>')
CORE = (DECL + '<cp:coreProperties xmlns:cp="%spackage/2006/metadata/core-properties" ' % OOXML +
        'xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:dcterms="http://purl.org/dc/terms/" '
        'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">'
        '<dc:title>Hostile</dc:title><dc:creator>corpus</dc:creator></cp:coreProperties>')
APP = (DECL + '<Properties xmlns="%sofficeDocument/2006/extended-properties">' % OOXML +
       '<Application>corpus</Application></Properties>')


def base_parts():
    """The parts of the good workbook, in archive order, as a list of [name, bytes]."""
    return [['[Content_Types].xml', CONTENT_TYPES], ['_rels/.rels', PACKAGE_RELS], ['xl/workbook.xml', workbook_xml()],
            ['xl/_rels/workbook.xml.rels', workbook_rels()], ['xl/worksheets/sheet1.xml', sheet_xml(SHEET1_DATA)],
            ['xl/worksheets/sheet2.xml', sheet_xml(SHEET2_DATA)], ['xl/sharedStrings.xml', shared_strings_xml()],
            ['xl/styles.xml', STYLES], ['docProps/core.xml', CORE], ['docProps/app.xml', APP]]


def replace_part(parts, name, data):
    return [[part_name, data if part_name == name else part_data] for part_name, part_data in parts]


# The ZIP writer. An entry is a dict: name (str or bytes), data (uncompressed bytes), and optionally
# method (0 stored, 8 deflate), raw (the bytes to store instead of compressing data), crc, size and
# csize (values to declare instead of the true ones), flags; zip64 writes ZIP64 extra fields.
DOS_TIME, DOS_DATE = 0x6000, 0x5A21  # 12:00:00, 2025-01-01


def as_bytes(text):
    return text if isinstance(text, bytes) else text.encode('utf-8')


def deflate_raw(data):
    compressor = zlib.compressobj(6, zlib.DEFLATED, -15)
    return compressor.compress(data) + compressor.flush()


def build_zip(entries, zip64=False, comment=b''):
    out, central = bytearray(), bytearray()
    for entry in entries:
        name, data, method = as_bytes(entry['name']), as_bytes(entry.get('data', b'')), entry.get('method', 8)
        raw = entry.get('raw')
        if raw is None:
            raw = deflate_raw(data) if method == 8 else data
        crc, size = entry.get('crc', zlib.crc32(data) & 0xFFFFFFFF), entry.get('size', len(data))
        csize, flags, offset = entry.get('csize', len(raw)), entry.get('flags', 0x0800), len(out)
        version = 45 if zip64 else 20
        sizes = (0xFFFFFFFF, 0xFFFFFFFF) if zip64 else (csize, size)
        extra = struct.pack('<HHQQ', 1, 16, size, csize) if zip64 else b''
        out += struct.pack('<IHHHHHIIIHH', 0x04034B50, version, flags, method, DOS_TIME, DOS_DATE, crc, *sizes,
                           len(name), len(extra))
        out += name + extra + raw
        cextra = struct.pack('<HHQQQ', 1, 24, size, csize, offset) if zip64 else b''
        central += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014B50, version, version, flags, method, DOS_TIME, DOS_DATE,
                               crc, *sizes, len(name), len(cextra), 0, 0, 0, 0, 0xFFFFFFFF if zip64 else offset)
        central += name + cextra
    cd_offset, count = len(out), len(entries)
    out += central
    if zip64:
        eocd64_offset = len(out)
        out += struct.pack('<IQHHIIQQQQ', 0x06064B50, 44, 45, 45, 0, 0, count, count, len(central), cd_offset)
        out += struct.pack('<IIQI', 0x07064B50, 0, eocd64_offset, 1)
        out += struct.pack('<IHHHHIIH', 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, len(comment))
    else:
        out += struct.pack('<IHHHHIIH', 0x06054B50, 0, 0, count, count, len(central), cd_offset, len(comment))
    return bytes(out + comment)


def zip_parts(parts, **entry_options):
    return build_zip([dict(name=name, data=data, **entry_options) for name, data in parts])


def with_entry(parts, name, **overrides):
    """Entries of parts where the one called name gets overrides."""
    return [dict(name=n, data=d, **(overrides if n == name else {})) for n, d in parts]


# Texts made to collide in hash tables. FNV_PAIRS: pairs of blocks with one 32-bit FNV-1a value from the
# state that the pairs before them leave, so that every choice of one block per pair gives the same value
# (found by a birthday search). READER_PAIR: two blocks with one value of the ZIP reader's name hash
# (value * 33 + byte), from any state.
FNV_PAIRS = [('h9Gc', 'THad'), ('O0Cc', 'sAad')] + [('Q9Cc', 'MHad')] * 15
READER_PAIR = ('Ez', 'FY')


def colliding_texts(pairs, count):
    """The first count texts made of one block of each pair."""
    return [''.join(blocks) for blocks in itertools.islice(itertools.product(*pairs), count)]


def stored_entries(names):
    """Empty stored entries (their data costs nothing; only the names matter)."""
    return [dict(name=name, data=b'', method=0) for name in names]


def many_sheets(count):
    """A workbook of count sheets, each with its own relationship and content type; only the first two
    sheets' parts are in the archive (the others read as empty)."""
    parts, more = base_parts(), range(3, count + 1)
    parts[0][1] = CONTENT_TYPES.replace('</Types>', ''.join(override('xl/worksheets/sheet%d.xml' % i, SHEET_TYPE)
                                                            for i in more) + '</Types>')
    parts[2][1] = workbook_xml(''.join('<sheet name="S%d" sheetId="%d" r:id="rId%d"/>' % (i, i, i + 4 if i > 2 else i)
                                       for i in range(1, count + 1)))
    parts[3][1] = workbook_rels(extra=''.join(relationship('rId%d' % (i + 4), WS_TYPE, 'worksheets/sheet%d.xml' % i)
                                              for i in more))
    return parts


def deflate_bomb(total, chunk_size=16 << 20):
    """Raw deflate of total spaces (a multiple of chunk_size) and its CRC, made from one compressed
    chunk: a full flush resets the compressor, so every chunk compresses to the same bytes."""
    compressor = zlib.compressobj(9, zlib.DEFLATED, -15)
    chunk = b' ' * chunk_size
    segment = compressor.compress(chunk) + compressor.flush(zlib.Z_FULL_FLUSH)
    tail, count, crc = compressor.flush(), total // chunk_size, 0
    for _ in range(count):
        crc = zlib.crc32(chunk, crc)
    return segment * count + tail, crc & 0xFFFFFFFF


def cases():
    good = base_parts()
    good_zip = zip_parts(good)
    sheet, book = 'xl/worksheets/sheet1.xml', 'xl/workbook.xml'
    rels, strings, types = 'xl/_rels/workbook.xml.rels', 'xl/sharedStrings.xml', '[Content_Types].xml'
    out = []

    def add(name, expect, data):
        out.append((name, expect, data))

    def part_case(name, expect, part, data):
        add(name, expect, zip_parts(replace_part(good, part, data)))

    def entry_case(name, expect, part, **overrides):
        add(name, expect, build_zip(with_entry(good, part, **overrides)))

    def without_case(name, part):
        add(name, 'either', zip_parts([p for p in good if p[0] != part]))

    def sheet_case(name, expect, sheet_data, prefix=''):
        part_case(name, expect, sheet, sheet_xml(sheet_data, prefix))

    def sheets_case(name, first, second='<sheet name="Notes" sheetId="2" r:id="rId2"/>'):
        part_case(name, 'either', book, workbook_xml(first + second))

    def patched(fmt, offset, *values):
        data = bytearray(good_zip)
        struct.pack_into(fmt, data, len(data) - offset, *values)
        return bytes(data)

    # The reference: a good workbook must open, so the hostile cases are measured against it. Then files
    # that are no package at all, truncated and corrupted archives.
    add('good', 'open', good_zip)
    add('good_stored', 'open', zip_parts(good, method=0))
    add('empty', 'refuse', b'')
    add('not_zip', 'refuse', b'This is a plain text file, not a workbook.\n' * 20)
    add('only_eocd', 'refuse', struct.pack('<IHHHHIIH', 0x06054B50, 0, 0, 0, 0, 0, 0, 0))
    add('zip_without_content_types', 'refuse', zip_parts(good[1:]))
    add('zip_of_unrelated_file', 'refuse', zip_parts([['readme.txt', 'hello']]))
    for fraction in (2, 4):
        add('truncated_1_%d' % fraction, 'refuse', good_zip[:len(good_zip) // fraction])
    add('truncated_last_byte', 'either', good_zip[:-1])
    add('truncated_in_central_directory', 'either', good_zip[:len(good_zip) - 40])
    corrupted = bytearray(good_zip)
    for position in range(60, len(corrupted) // 2, 97):
        corrupted[position] ^= 0x5A
    add('corrupted_data', 'either', bytes(corrupted))
    add('central_directory_offset_past_end', 'refuse', patched('<I', 6, 0x7FFFFFF0))
    add('entry_count_lies', 'either', patched('<HH', 14, 0xFFFF, 0xFFFF))
    entry_case('crc_wrong', 'either', sheet, crc=0x12345678)

    # Entries whose declared sizes lie; deflate bombs: 2 GiB of spaces in about 2 MB, declared honestly
    # and declared small.
    for name, part, lie in (('size_declared_smaller', sheet, dict(size=10)),
                            ('size_declared_larger', sheet, dict(size=4000000)),
                            ('size_declared_huge', sheet, dict(size=0xFFFFFFF0)),
                            ('size_declared_zero', sheet, dict(size=0)),
                            ('compressed_size_past_end', sheet, dict(csize=0x7FFFFFF0)),
                            ('shared_strings_size_lies', strings, dict(size=3))):
        entry_case(name, 'either', part, **lie)
    bomb, bomb_crc = deflate_bomb(2 << 30)
    for name, part, size in (('deflate_bomb_declared', sheet, 2 << 30),
                             ('deflate_bomb_declared_small', sheet, len(sheet_xml(SHEET1_DATA))),
                             ('deflate_bomb_shared_strings', strings, 2 << 30),
                             ('deflate_bomb_content_types', types, 2 << 30)):
        entry_case(name, 'either', part, raw=bomb, crc=bomb_crc, size=size)

    # Names.
    add('duplicate_entry_names', 'either', zip_parts(good + [[sheet, sheet_xml('<row r="9"/>')]]))
    add('duplicate_content_types', 'either', zip_parts(good + [[types, CONTENT_TYPES]]))
    absurd = [['x' * 60000, 'long'], ['../../../../tmp/escape.xml', '<a/>'], ['/etc/absolute.xml', '<a/>'],
              ['C:\\windows\\drive.xml', '<a/>'], ['', 'nameless'], ['dir/', ''],
              [b'nul\x00inside.xml', '<a/>'], [b'\xff\xfe bad utf8.xml', '<a/>'], ['xl/./worksheets/../x.xml', '<a/>']]
    add('absurd_entry_names', 'either', zip_parts(good + absurd))
    for case, name in (('entry_name_parent', '../../x'), ('entry_name_absolute', '/abs'), ('entry_name_empty', ''),
                       ('entry_name_drive', 'C:\\x'), ('entry_name_not_utf8', b'xl/\xff.xml')):
        add(case, 'refuse', zip_parts(good + [[name, '<a/>']]))
    part_case('sheet_path_traversal', 'either', rels, workbook_rels(sheet1='../../../../etc/passwd'))

    # Flags, methods, container variants.
    entry_case('encrypted_entry', 'refuse', sheet, flags=0x0801, raw=b'\x13' * 64)
    entry_case('encrypted_content_types', 'refuse', types, flags=0x0801)
    entry_case('unknown_method', 'either', sheet, method=99, raw=b'\x00' * 40)
    add('zip64_archive', 'either', build_zip(with_entry(good, None), zip64=True))
    add('archive_comment', 'open', build_zip(with_entry(good, None), comment=b'comment' * 100))

    # XML that no parser should follow to the end.
    depth = 10000
    sheet_case('nested_10000_in_sheet', 'either', '<row r="1">' + '<x>' * depth + '</x>' * depth + '</row>')
    part_case('nested_10000_in_workbook', 'either', book,
              workbook_xml().replace('<bookViews>', '<a>' * depth + '</a>' * depth + '<bookViews>'))
    part_case('nested_unclosed_100000', 'either', sheet, sheet_xml('<row r="1">' + '<x>' * 100000))
    laughs = ('<!DOCTYPE lolz [<!ENTITY lol "lol">' +
              ''.join('<!ENTITY lol%d "%s">' % (i, ('&lol%d;' % (i - 1) if i > 1 else '&lol;') * 10)
                      for i in range(1, 10)) + ']>')
    sheet_case('nested_entities', 'either', '<row r="1"><c r="A1" t="inlineStr"><is><t>&lol9;</t></is></c></row>',
               prefix=laughs)
    part_case('nested_entities_shared_strings', 'either', strings,
              shared_strings_xml(('&lol9;', 'b', 'c')).replace('<sst', laughs + '<sst', 1))
    sheet_case('external_entity', 'either', '<row r="1"><c r="A1" t="inlineStr"><is><t>&x;</t></is></c></row>',
               prefix='<!DOCTYPE w [<!ENTITY x SYSTEM "file:///etc/passwd">]>')
    for name, data in (('unterminated_comment', '<row r="1"><c r="A1"><v>1</v></c></row><!-- never ends'),
                       ('unterminated_cdata', '<row r="1"><c r="A1" t="str"><v><![CDATA[never ends'),
                       ('attributes_without_values', '<row r><c r t><v>1</v></c><c r= t=><v>2</v></c></row>'),
                       ('attribute_unterminated', '<row r="1"><c r="A1 t="s"><v>0</v></c></row>')):
        sheet_case(name, 'either', data)
    part_case('workbook_not_xml', 'either', book, b'\x00\x01\x02 binary')
    part_case('content_types_not_xml', 'either', types, 'not xml <<<')
    part_case('shared_strings_not_xml', 'open', strings, 'not xml <<<')
    part_case('rels_not_xml', 'either', rels, '<Relationships')

    # Invalid UTF-8 in texts, names and attribute values.
    bad = b'\xc3\x28 \xa0\xa1 \xe2\x82 \xf0\x28\x8c\xbc \xff\xfe \xed\xa0\x80'
    part_case('invalid_utf8_shared_strings', 'either', strings,
              shared_strings_xml(('a', 'b', 'c')).encode().replace(b'>a<', b'>' + bad + b'<'))
    part_case('invalid_utf8_sheet_name', 'either', book, workbook_xml().encode().replace(b'"Notes"', b'"' + bad + b'"'))
    part_case('invalid_utf8_cell_ref', 'either', sheet,
              sheet_xml(SHEET1_DATA).encode().replace(b'r="B3"', b'r="' + bad + b'"'))

    # Rows and cells the model does not expect.
    sheet_case('rows_out_of_order', 'open',
               '<row r="5"><c r="A5"><v>5</v></c></row><row r="2"><c r="A2"><v>2</v></c></row>'
               '<row r="5"><c r="B5"><v>6</v></c></row><row r="1"><c r="A1"><v>1</v></c></row>')
    sheet_case('cells_out_of_order', 'open',
               '<row r="1"><c r="D1"><v>4</v></c><c r="A1"><v>1</v></c><c r="D1"><v>5</v></c>'
               '<c r="B1"><v>2</v></c></row>')
    sheet_case('rows_and_cells_without_r', 'open',
               '<row><c><v>1</v></c><c><v>2</v></c></row><row><c t="s"><v>0</v></c></row>'
               '<row r="7"><c><v>3</v></c><c r="C7"><v>4</v></c><c><v>5</v></c></row>')
    sheet_case('row_numbers_beyond_sheet', 'open',
               '<row r="1048577"><c r="A1048577"><v>1</v></c></row>'
               '<row r="4294967297"><c r="A4294967297"><v>2</v></c></row>'
               '<row r="-3"><c r="A-3"><v>3</v></c></row><row r="0"><c r="A0"><v>4</v></c></row>'
               '<row r="99999999999999999999999"><c r="XFE1"><v>5</v></c><c r="AAAAAAAA2"><v>6</v></c></row>')
    sheet_case('row_far_away', 'open', '<row r="1048576"><c r="XFD1048576"><v>1</v></c></row>')
    sheet_case('cell_in_wrong_row', 'open', '<row r="2"><c r="A9"><v>1</v></c></row><row r="9"/>')
    sheet_case('shared_string_index_past_table', 'open',
               '<row r="1"><c r="A1" t="s"><v>3</v></c><c r="B1" t="s"><v>99999999</v></c>'
               '<c r="C1" t="s"><v>-1</v></c><c r="D1" t="s"><v>4294967296</v></c><c r="E1" t="s"><v>x</v></c>'
               '<c r="F1" t="s"/></row>')
    sheet_case('strange_values', 'open',
               '<row r="1"><c r="A1"><v>1e999</v></c><c r="B1"><v>-1e-999</v></c><c r="C1"><v>nan</v></c>'
               '<c r="D1"><v>99999999999999999999999999</v></c><c r="E1" t="b"><v>7</v></c>'
               '<c r="F1" t="e"><v></v></c><c r="G1" t="unknown"><v>1</v></c><c r="H1" t="n"><v>abc</v></c>'
               '<c r="I1"><f t="shared" si="0" ref="I1:I3">A1</f></c><c r="J1"><f t="array" ref="J1">A1</f></c>'
               '</row><row r="2" ht="abc" hidden="maybe" customHeight="1"/>')
    part_case('no_sheet_data', 'open', sheet, sheet_xml('').replace('<sheetData></sheetData>', ''))
    part_case('empty_sheet_part', 'either', sheet, '')
    without_case('missing_sheet_part', sheet)
    without_case('missing_shared_strings', strings)

    # Relationships pointing nowhere or at absolute paths.
    for name, target in (('relationship_to_missing_part', 'worksheets/missing.xml'),
                         ('relationship_absolute_in_package', '/xl/worksheets/sheet1.xml'),
                         ('relationship_absolute_file', '/etc/passwd'),
                         ('relationship_external', 'file:///etc/passwd" TargetMode="External')):
        part_case(name, 'either', rels, workbook_rels(sheet1=target))
    sheets_case('relationship_sheet_id_unknown', '<sheet name="Data" sheetId="1" r:id="rId77"/>')
    part_case('relationship_to_workbook_itself', 'either', rels, workbook_rels(sheet1='workbook.xml'))
    part_case('styles_relationship_to_sheet', 'either', rels,
              workbook_rels().replace('Target="styles.xml"', 'Target="worksheets/sheet1.xml"'))
    part_case('package_rels_point_nowhere', 'either', '_rels/.rels',
              PACKAGE_RELS.replace('xl/workbook.xml', 'nothing/here.xml'))
    without_case('no_package_rels', '_rels/.rels')
    for name, target in (('package_rels_leave_package', '../xl/workbook.xml'), ('package_rels_name_a_sheet', sheet)):
        part_case(name, 'open', '_rels/.rels', PACKAGE_RELS.replace('xl/workbook.xml', target))
    part_case('shared_strings_relationship_names_a_sheet', 'open', rels,
              workbook_rels().replace('"sharedStrings.xml"', '"worksheets/sheet2.xml"'))
    # The workbook at the package root, its relationships naming parts under xl/ by relative and absolute targets.
    at_root = lambda text: text.replace('xl/_rels/workbook.xml', '_rels/wb.xml').replace('xl/workbook.xml', 'wb.xml')
    root_rels = workbook_rels('xl/worksheets/sheet1.xml', '/xl/worksheets/sheet2.xml').replace('="s', '="xl/s')
    add('workbook_at_root', 'open',
        zip_parts([[at_root(n), at_root(d)] for n, d in replace_part(good, rels, root_rels)]))
    without_case('no_workbook', book)

    # Sheet lists.
    part_case('workbook_without_sheets', 'either', book, workbook_xml(''))
    part_case('workbook_without_sheets_element', 'either', book, workbook_xml(sheets_element=False))
    sheets_case('sheet_name_300_bytes', '<sheet name="%s" sheetId="1" r:id="rId1"/>' % ('N' * 300))
    sheets_case('duplicate_sheet_names', '<sheet name="Data" sheetId="1" r:id="rId1"/>',
                '<sheet name="Data" sheetId="1" r:id="rId2"/>')
    sheets_case('sheet_without_attributes', '<sheet/>', '<sheet name="Notes"/>')
    many = ''.join('<sheet name="S%d" sheetId="%d" r:id="rId2"/>' % (i, i) for i in range(1, 2001))
    part_case('two_thousand_sheets_one_part', 'either', book, workbook_xml(many))
    add('hundred_thousand_sheets', 'open', zip_parts(many_sheets(100000)))

    # The format's elements under another prefix than the usual (none), relationship ids under another
    # than r.
    def prefixed(xml, uri_end):
        xml = re.sub(r'<(/?)(?![?!])([A-Za-z][\w.]*)([\s/>])', r'<\1x:\2\3', xml)
        return xml.replace('xmlns="%s%s' % (OOXML, uri_end), 'xmlns:x="%s%s' % (OOXML, uri_end))
    main = 'spreadsheetml/2006/main"'
    part_case('prefixed_worksheet', 'open', sheet, prefixed(sheet_xml(SHEET1_DATA), main))
    part_case('prefixed_workbook', 'open', book,
              prefixed(workbook_xml(), main).replace('r:id=', 'rel:id=').replace('xmlns:r=', 'xmlns:rel='))
    part_case('prefixed_content_types', 'open', types, prefixed(CONTENT_TYPES, 'package/2006/content-types"'))

    # Column records over the whole sheet: one, and 1,000 overlapping ones of widths 1..1000.
    for name, cols in (('full_width_column_record', '<col min="1" max="16384" width="20" customWidth="1"/>'),
                       ('overlapping_column_records',
                        ''.join('<col min="1" max="16384" width="%d" customWidth="1"/>' % w for w in range(1, 1001)))):
        part_case(name, 'open', sheet, sheet_xml(SHEET1_DATA).replace(
            '<cols><col min="1" max="2" width="12" customWidth="1"/></cols>', '<cols>%s</cols>' % cols))

    # Cells and rows without `r` past the sheet's last column and last row.
    sheet_case('cells_past_last_column', 'open', '<row r="1">' + '<c><v>1</v></c>' * 16385 + '</row>')
    sheet_case('rows_past_last_row', 'open', '<row/>' * 1048577)

    # Parts of 64 MiB of tiny elements (a node each): their trees would cost over a gigabyte each.
    tiny_sheet = sheet_xml('<a/>' * (16 << 20))
    part_case('tiny_elements_sheet', 'open', sheet, tiny_sheet)
    part_case('empty_shared_strings', 'open', strings,
              shared_strings_xml(()).replace('</sst>', '<si/>' * ((64 << 20) // 5) + '</sst>'))
    add('two_tiny_element_sheets', 'open',
        zip_parts(replace_part(replace_part(good, sheet, tiny_sheet), 'xl/worksheets/sheet2.xml', tiny_sheet)))

    # Hash flooding: texts that all had one hash value, as shared strings and as entry names, and entry
    # names made to collide in the ZIP reader's own table.
    part_case('colliding_shared_strings', 'open', strings, shared_strings_xml(colliding_texts(FNV_PAIRS, 1 << 17)))
    add('colliding_entry_names', 'open',
        build_zip(with_entry(good, None) + stored_entries(colliding_texts(FNV_PAIRS, 1 << 17)), zip64=True))
    reader_names = ['xl/media/' + name for name in colliding_texts([READER_PAIR] * 16, 65000)]
    add('colliding_reader_entry_names', 'refuse', build_zip(with_entry(good, None) + stored_entries(reader_names)))
    return out


def main():
    if len(sys.argv) != 2:
        sys.stderr.write('usage: make_corpus.py OUTDIR\n')
        return 2
    os.makedirs(sys.argv[1], exist_ok=True)
    manifest = []
    for name, expect, data in cases():
        with open(os.path.join(sys.argv[1], name + '.xlsx'), 'wb') as handle:
            handle.write(data)
        manifest.append('%s %s\n' % (name, expect))
    with open(os.path.join(sys.argv[1], 'MANIFEST'), 'w') as handle:
        handle.writelines(manifest)
    return 0


if __name__ == '__main__':
    sys.exit(main())
