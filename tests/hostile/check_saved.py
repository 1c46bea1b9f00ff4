#!/usr/bin/env python3
"""Has openpyxl read the workbooks that the hostile-corpus tests saved.

Usage: check_saved.py MANIFEST DIR... -- for every NAME in MANIFEST whose corpus file (beside MANIFEST)
openpyxl can read, DIR/NAME.xlsx must load, with every sheet iterable: saving never makes a readable
workbook unreadable. A missing DIR/NAME.xlsx is a file the library refused to open (the tests that save
check that a file that opened also saved). A corpus file that openpyxl cannot read itself is only counted: the
library writes the parts it could not parse back as they were, so their damage stays (by design: nothing
of a file is dropped). Left out: the deflate bombs, which openpyxl would inflate to gigabytes, and the
workbooks of thousands of sheets or entries, which take openpyxl minutes.
Exits 1 when any file fails or openpyxl is missing.
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


def check(path):
    with warnings.catch_warnings():
        warnings.simplefilter('ignore')
        book = openpyxl.load_workbook(path)
        for sheet in book.worksheets:
            for _ in sheet.iter_rows(max_row=200, max_col=50):
                pass
        book.close()


def main():
    if len(sys.argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    with open(sys.argv[1]) as handle:
        names = [line.split()[0] for line in handle if line.strip()]
    corpus = os.path.dirname(os.path.abspath(sys.argv[1]))
    readable = []
    for name in names:
        if name.startswith('deflate_bomb') or name in TOO_LARGE:
            continue
        try:
            check(os.path.join(corpus, name + '.xlsx'))
            readable.append(name)
        except Exception:  # unreadable originals are not held against the saved copies
            pass
    checked, failed = 0, 0
    for folder in sys.argv[2:]:
        for name in readable:
            path = os.path.join(folder, name + '.xlsx')
            if not os.path.exists(path):
                continue
            checked += 1
            try:
                check(path)
            except Exception as error:  # any failure to read is what this test reports
                failed += 1
                print('%s: openpyxl cannot read it: %s: %s' % (path, type(error).__name__, error))
    print('%d corpus files readable by openpyxl; %d saved copies checked, %d failed' %
          (len(readable), checked, failed))
    if checked == 0:
        print('nothing was saved: run the hostile corpus tests first')
        return 1
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
