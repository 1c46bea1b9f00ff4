#!/usr/bin/env python3
"""Writes the benchmark workload with XlsxWriter (constant_memory off): R rows x 10 columns.

usage: gen_workload.py OUT.xlsx [ROWS]   (ROWS defaults to 100000, i.e. 1,000,000 cells)
"""
import sys

import xlsxwriter


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    rows = int(sys.argv[2]) if len(sys.argv) == 3 else 100000
    wb = xlsxwriter.Workbook(sys.argv[1], {"constant_memory": False})
    ws = wb.add_worksheet()
    for r in range(1, rows + 1):
        row = r - 1
        ws.write_number(row, 0, r)
        ws.write_number(row, 1, r * 1.5 + 0.25)
        ws.write_string(row, 2, f"item-{r % 100}")
        ws.write_string(row, 3, f"name-{r}")
        ws.write_boolean(row, 4, r % 2 == 0)
        ws.write_number(row, 5, (r * 7) % 1000)
        ws.write_number(row, 6, r / 3.0)
        ws.write_number(row, 7, (r * 13) % 10007)
        ws.write_number(row, 8, r * 0.001)
        ws.write_number(row, 9, -r)
    wb.close()


if __name__ == "__main__":
    main()
