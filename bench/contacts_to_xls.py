#!/usr/bin/python3
# Writes the contact rows of a tab-separated UTF-8 file (header row first) as the sheet "Sheet1"
# of an .xls workbook, for import_bench (Debian package python3-xlwt; the system python3).
# Usage: contacts_to_xls.py rows.tsv out.xls
import sys
import xlwt

book = xlwt.Workbook(encoding="utf-8")
sheet = book.add_sheet("Sheet1")
with open(sys.argv[1], encoding="utf-8") as rows:
    for r, line in enumerate(rows):
        for c, value in enumerate(line.rstrip("\n").split("\t")):
            sheet.write(r, c, value)
book.save(sys.argv[2])
