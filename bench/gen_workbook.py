#!/usr/bin/env python3
"""Writes the rows of a contacts export (gen_contacts.py's CSV file) as a workbook.

    gen_workbook.py --csv FILE --out FILE.xlsx [--strings shared|inline]
    gen_workbook.py --csv FILE --out FILE.ods

One sheet, every field a text cell, as a spreadsheet holds the export after opening it: .xlsx with
the texts in the shared strings (as spreadsheet programs write them) or inline in the sheet, or an
OpenDocument spreadsheet with runs of empty cells written as repeats. Cell references on every
.xlsx cell; a CR inside a field as Office's escape _x000D_, in .ods line breaks as line-break
elements. The parts are deflated and streamed into the archive, as a writer of large workbooks
does (with data descriptors after the entries).
"""
import argparse
import csv
import io
import zipfile
from xml.sax.saxutils import escape

MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
DOC_RELS = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG_RELS = "http://schemas.openxmlformats.org/package/2006/relationships"


def read_rows(path):
    # gen_contacts.py writes Windows-1252 (or UTF-8 with a mark); newline="" keeps CR LF in fields.
    raw = open(path, "rb").read()
    text = raw[3:].decode("utf-8") if raw.startswith(b"\xef\xbb\xbf") else raw.decode("cp1252")
    return list(csv.reader(io.StringIO(text, newline="")))


def column_name(index):
    name = ""
    index += 1
    while index:
        index, rest = divmod(index - 1, 26)
        name = chr(ord("A") + rest) + name
    return name


def xlsx_text(value):
    text = escape(value).replace("\r", "_x000D_")
    space = ' xml:space="preserve"' if value != value.strip() else ""
    return f"<t{space}>{text}</t>"


def write_xlsx(rows, out, inline):
    width = max(len(r) for r in rows)
    names = [column_name(i) for i in range(width)]
    strings = {}
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
        z.writestr("[Content_Types].xml",
                   '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
                   '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
                   '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
                   '<Default Extension="xml" ContentType="application/xml"/>'
                   '<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>'
                   '<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>'
                   '<Override PartName="/xl/sharedStrings.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>'
                   '</Types>')
        z.writestr("_rels/.rels",
                   f'<Relationships xmlns="{PKG_RELS}"><Relationship Id="rId1" '
                   f'Type="{DOC_RELS}/officeDocument" Target="xl/workbook.xml"/></Relationships>')
        z.writestr("xl/workbook.xml",
                   f'<workbook xmlns="{MAIN}" xmlns:r="{DOC_RELS}"><sheets>'
                   '<sheet name="Kontakte" sheetId="1" r:id="rId1"/></sheets></workbook>')
        z.writestr("xl/_rels/workbook.xml.rels",
                   f'<Relationships xmlns="{PKG_RELS}">'
                   f'<Relationship Id="rId1" Type="{DOC_RELS}/worksheet" Target="worksheets/sheet1.xml"/>'
                   f'<Relationship Id="rId2" Type="{DOC_RELS}/sharedStrings" Target="sharedStrings.xml"/>'
                   '</Relationships>')
        with z.open("xl/worksheets/sheet1.xml", "w") as sheet:
            sheet.write(f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
                        f'<worksheet xmlns="{MAIN}"><dimension ref="A1:{names[-1]}{len(rows)}"/>'
                        '<sheetData>'.encode())
            for number, row in enumerate(rows, 1):
                cells = [f'<row r="{number}">']
                for i, value in enumerate(row):
                    if not value:
                        continue
                    ref = f"{names[i]}{number}"
                    if inline:
                        cells.append(f'<c r="{ref}" t="inlineStr"><is>{xlsx_text(value)}</is></c>')
                    else:
                        index = strings.setdefault(value, len(strings))
                        cells.append(f'<c r="{ref}" t="s"><v>{index}</v></c>')
                cells.append("</row>")
                sheet.write("".join(cells).encode())
            sheet.write(b"</sheetData></worksheet>")
        with z.open("xl/sharedStrings.xml", "w") as sst:
            sst.write(f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>'
                      f'<sst xmlns="{MAIN}" count="{len(strings)}" uniqueCount="{len(strings)}">'.encode())
            chunk = []
            for value in strings:
                chunk.append(f"<si>{xlsx_text(value)}</si>")
                if len(chunk) == 4096:
                    sst.write("".join(chunk).encode())
                    chunk = []
            sst.write(("".join(chunk) + "</sst>").encode())


def ods_paragraphs(value):
    text = value.replace("\r\n", "\n").replace("\r", "\n")
    return "".join(f"<text:p>{escape(line)}</text:p>" for line in text.split("\n"))


def write_ods(rows, out):
    ns = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
          'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
          'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"')
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
        z.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.spreadsheet",
                   compress_type=zipfile.ZIP_STORED)
        z.writestr("META-INF/manifest.xml",
                   '<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0">'
                   '<manifest:file-entry manifest:full-path="/" '
                   'manifest:media-type="application/vnd.oasis.opendocument.spreadsheet"/>'
                   '<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>'
                   '</manifest:manifest>')
        with z.open("content.xml", "w") as content:
            content.write(f'<?xml version="1.0" encoding="UTF-8"?><office:document-content {ns} '
                          'office:version="1.2"><office:body><office:spreadsheet>'
                          '<table:table table:name="Kontakte">'.encode())
            for row in rows:
                cells = ["<table:table-row>"]
                empty = 0
                for value in row:
                    if not value:
                        empty += 1
                        continue
                    if empty:
                        cells.append(f'<table:table-cell table:number-columns-repeated="{empty}"/>'
                                     if empty > 1 else "<table:table-cell/>")
                        empty = 0
                    cells.append(f'<table:table-cell office:value-type="string">{ods_paragraphs(value)}'
                                 "</table:table-cell>")
                cells.append("</table:table-row>")
                content.write("".join(cells).encode())
            content.write(b'<table:table-row table:number-rows-repeated="1048000">'
                          b'<table:table-cell table:number-columns-repeated="1024"/></table:table-row>'
                          b"</table:table></office:spreadsheet></office:body></office:document-content>")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--csv", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--strings", choices=["shared", "inline"], default="shared")
    args = parser.parse_args()
    rows = read_rows(args.csv)
    if args.out.endswith(".ods"):
        write_ods(rows, args.out)
    else:
        write_xlsx(rows, args.out, args.strings == "inline")


if __name__ == "__main__":
    main()
