#!/usr/bin/env python3
"""Has openpyxl read the workbooks that the hostile-corpus tests saved: saving never makes a readable
workbook unreadable. Usage: check_saved.py MANIFEST DIR...

For every NAME in MANIFEST whose corpus file (beside MANIFEST) openpyxl reads, DIR/NAME.xlsx must load
with every sheet iterable; a missing one is a file the library refused to open. Left out: corpus files
openpyxl cannot read (the library writes parts it could not parse back as they were), the deflate bombs
and the workbooks of thousands of sheets or entries, which take openpyxl minutes. Exits 1 when any file
fails, nothing was saved or openpyxl is missing.
"""
import os
import sys
import warnings

try:
    import openpyxl
except ImportError:
    print('openpyxl is not available (Debian: python3-openpyxl)')
    sys.exit(1)

TOO_LARGE = {'two_thousand_sheets_one_part', 'hundred_thousand_sheets', 'colliding_shared_strings',
             'colliding_entry_names', 'tiny_elements_sheet', 'two_tiny_element_sheets', 'empty_shared_strings',
             'rows_past_last_row'}


def readable(path):
    """The error openpyxl raises for the file, or None when it reads every sheet."""
    try:
        with warnings.catch_warnings():
            warnings.simplefilter('ignore')
            book = openpyxl.load_workbook(path)
            for sheet in book.worksheets:
                for _ in sheet.iter_rows(max_row=200, max_col=50):
                    pass
            book.close()
    except Exception as error:  # any failure to read is what this test reports
        return error
    return None


def main():
    if len(sys.argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    with open(sys.argv[1]) as handle:
        names = [line.split()[0] for line in handle if line.strip()]
    corpus = os.path.dirname(os.path.abspath(sys.argv[1]))
    names = [n for n in names if not n.startswith('deflate_bomb') and n not in TOO_LARGE and
             readable(os.path.join(corpus, n + '.xlsx')) is None]
    saved = [os.path.join(f, n + '.xlsx') for f in sys.argv[2:] for n in names]
    saved = [path for path in saved if os.path.exists(path)]
    failed = [(path, readable(path)) for path in saved]
    failed = [(path, error) for path, error in failed if error is not None]
    for path, error in failed:
        print('%s: openpyxl cannot read it: %s: %s' % (path, type(error).__name__, error))
    print('%d corpus files readable by openpyxl; %d saved copies checked, %d failed' % (len(names), len(saved),
                                                                                        len(failed)))
    if not saved:
        print('nothing was saved: run the hostile corpus tests first')
    return 1 if failed or not saved else 0


if __name__ == '__main__':
    sys.exit(main())
