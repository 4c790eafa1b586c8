#!/usr/bin/env python3
"""The import written plainly in Python: csv module, dict, sorted.

    baseline.py [--country CODE] [--raw] FILE

Same interface and output as voxaro-import: the phone-book lines on standard output (UTF-8 and
LF, or with --raw the Windows-1252 bytes with CR LF), the counts on standard error. It is the
baseline of `make bench` and the reference the native importer's output is compared with, so it
follows the import step by step rather than doing what a CSV library would do by itself.
"""
import argparse
import codecs
import csv
import re
import sys
from pathlib import Path

csv.field_size_limit(sys.maxsize)

NAME_HEADERS = ("Vorname", "Nachname", "Firma", "Abteilung", "Name")
NUMBER_HEADERS = ("Telefon", "Fax", "Phone")
BOM = b"\xef\xbb\xbf"
MAX_NAME = 50

# Text after loading is Windows-1252 bytes; it is carried as latin-1 str so that one character is
# one byte and str order is byte order.
WIN_UPPER = {c: c - 0x20 for c in range(0x61, 0x7B)}
WIN_UPPER.update({c: c - 0x20 for c in range(0xE0, 0xFF) if c != 0xF7})
WIN_UPPER.update({0x9A: 0x8A, 0x9C: 0x8C, 0x9E: 0x8E, 0xFF: 0x9F})
WIN_LOWER = {u: l for l, u in WIN_UPPER.items()}
CONTROL_AND_BLANK = "".join(map(chr, range(33)))
NOT_NUMBER_CHAR = re.compile(r"[^0-9+]")
SPACE_RUN = re.compile(r" {2,}")
DIALING_PREFIX = re.compile(r"(?:\+|00)[0-9]{1,3}")


class ImportError_(Exception):
    """An error the import reports as its message, like the window's error box."""


def _best_fit_table():
    # Windows converts some characters outside 1252 to a near byte rather than '?'; the table was
    # read off Windows and is checked against it by the Windows tests.
    inc = Path(__file__).resolve().parent.parent / "platform" / "cp1252_best_fit.inc"
    pairs = re.findall(r"\{0x([0-9A-Fa-f]+),\s*0x([0-9A-Fa-f]+)\}", inc.read_text())
    table = {int(u, 16): bytes([int(b, 16)]) for u, b in pairs}
    for b in (0x81, 0x8D, 0x8F, 0x90, 0x9D):  # undefined in 1252, kept as themselves by Windows
        table[b] = bytes([b])
    return table


BEST_FIT = _best_fit_table()


def _to_ansi_fallback(err):
    chars = err.object[err.start:err.end]
    return b"".join(BEST_FIT.get(ord(c), b"?") for c in chars), err.end


codecs.register_error("voxaro-best-fit", _to_ansi_fallback)

FOUR_BYTE_LEAD = re.compile(rb"[\xf0-\xff]")


def _lenient_sequence(data, i):
    """One sequence as the loader decodes it: every byte from 0x80 leads, bit 5 picks two or three
    bytes, only the follow bytes' top bits are checked; a lead 0xF0-0xF7 with three follow bytes is
    one "?". Gives (unit, next index), or None."""
    n = len(data)
    b = data[i]
    i += 1
    if b < 0x80:
        return b, i
    if 0xF0 <= b <= 0xF7 and n - i >= 3 and all(c & 0xC0 == 0x80 for c in data[i:i + 3]):
        return ord("?"), i + 3  # a character beyond U+FFFF, whatever it spells
    if i >= n:
        return None
    w = b & 0x3F
    if w & 0x20:
        t = data[i]
        i += 1
        if t & 0xC0 != 0x80 or i >= n:
            return None
        w = (w << 6) | (t & 0x3F)
    t = data[i]
    i += 1
    if t & 0xC0 != 0x80:
        return None
    return ((w << 6) | (t & 0x3F)) & 0xFFFF, i


def decode_utf8(data):
    """UTF-8 as the loader reads it, or None when it does not decode.

    Well-formed one- to three-byte sequences decode as Python decodes them, so Python's decoder
    does the bulk; the loader's own rules take over at what Python rejects (overlong forms,
    surrogates, stray follow bytes as leads) and at every byte from 0xF0 (four-byte forms become
    "?", whatever they spell)."""
    view = memoryview(data)
    n = len(data)
    parts = []
    pos = 0
    hard = -1
    while pos < n:
        if hard < pos:
            m = FOUR_BYTE_LEAD.search(data, pos)
            hard = m.start() if m else n
        if hard > pos:
            try:
                parts.append(str(view[pos:hard], "utf-8"))
                pos = hard
                continue
            except UnicodeDecodeError as e:
                parts.append(str(view[pos:pos + e.start], "utf-8"))
                pos += e.start
        seq = _lenient_sequence(data, pos)
        if seq is None:
            return None
        parts.append(chr(seq[0]))
        pos = seq[1]
    return "".join(parts)


def utf8_to_ansi(data):
    text = decode_utf8(data)
    if not text:
        return b""
    return text.encode("cp1252", "voxaro-best-fit")


OUTSIDE_BMP_OR_SURROGATE = re.compile("[\U00010000-\U0010FFFF\ud800-\udfff]")


def utf16_to_ansi(data, big_endian):
    """UTF-16 after its mark: a last odd byte ignored, units 0 dropped, a surrogate pair or a lone
    surrogate as "?"."""
    text = data[:len(data) // 2 * 2].decode("utf-16-be" if big_endian else "utf-16-le", "surrogatepass")
    return OUTSIDE_BMP_OR_SURROGATE.sub("?", text).replace("\0", "").encode("cp1252", "voxaro-best-fit")


def load_ansi_text(path):
    try:
        if path == "-":
            raw = sys.stdin.buffer.read()
        else:
            with open(path, "rb") as f:
                raw = f.read()
    except OSError:
        raise ImportError_("OSError")
    if raw[:2] in (b"\xff\xfe", b"\xfe\xff"):
        return utf16_to_ansi(raw[2:], raw[0] == 0xFE)
    text = raw[3:] if len(raw) >= 10 and raw.startswith(BOM) else raw
    if text.count(0) == len(text) // 2:
        # Taken as UTF-16 without a mark (an empty text lands here too).
        no_nul = text.replace(b"\0", b"")
        return utf8_to_ansi(no_nul) or no_nul
    return utf8_to_ansi(text) or raw


def normalise(text):
    """The normalised lines: quotes removed, line breaks inside quotes as <br>, one record a
    line. Quotes are dropped before any field is split, so a quoted delimiter splits later."""
    nul = text.find(0)
    if nul >= 0:
        text = text[:nul]
    pieces = []
    start = counted = 0
    quotes = 0
    for m in re.finditer(rb"[\r\n]+", text):
        quotes += text.count(b'"', counted, m.start())
        counted = m.end()
        if quotes % 2:
            pieces.append(text[start:m.start()])
            pieces.append(b"<br>" * (m.end() - m.start()))
            start = m.end()
    pieces.append(text[start:])
    out = b"".join(pieces).replace(b'"', b"")
    lines = out.replace(b"\r\n", b"\n").replace(b"\r", b"\n").split(b"\n")
    if lines[-1] == b"":
        lines.pop()
    return [line.decode("latin-1") for line in lines]


def detect_delimiter(lines):
    sample = []
    size = 0
    for line in lines:
        if size >= 10000:
            break
        sample.append(line + "\r\n")
        size += len(line) + 2
    sample = "".join(sample)[:10000]
    best, delimiter = sample.count(","), ","
    for candidate in (";", "\t"):
        count = sample.count(candidate)
        if count > best:
            best, delimiter = count, candidate
    return delimiter


def contains_text(text, sub):
    return bool(text) and bool(sub) and sub.translate(WIN_UPPER) in text.translate(WIN_UPPER)


def split_values(field, separator=":::"):
    parts = field.split(separator)
    if parts[-1] == "":
        parts.pop()
    return parts


def normalize_number(text, country):
    cut = text.find("(0)")
    if cut >= 0 and DIALING_PREFIX.fullmatch(NOT_NUMBER_CHAR.sub("", text[:cut])):
        text = text[:cut] + text[cut + 3:]
    number = NOT_NUMBER_CHAR.sub("", text)
    if number.startswith("+" + country):
        return "0" + number[1 + len(country):][:100]
    if number.startswith("+"):
        return "00" + number[1:][:100]
    return number


def strip_country_prefix(number, country):
    if number.startswith("00" + country):
        return "0" + number[2 + len(country):][:100]
    return number


def build_display_name(joined):
    text = SPACE_RUN.sub(" ", joined).replace(":::", "")
    result = ""
    count = 0
    for word in split_values(text, " "):
        if len(word) < 3 or not contains_text(result, word):
            result += " " + word
            count += 1
            if count > 5:
                break
    return result.strip(CONTROL_AND_BLANK)


def import_csv(path, country):
    """The entries {number: name} and the two counts, as the window would show them."""
    lines = normalise(load_ansi_text(path))
    if not lines:
        raise ImportError_("Try to read past eof")
    delimiter = detect_delimiter(lines)
    rows = csv.reader(lines, delimiter=delimiter, quoting=csv.QUOTE_NONE)
    header = next(rows)
    name_columns = [i for i, h in enumerate(header) if any(contains_text(h, w) for w in NAME_HEADERS)]
    number_columns = [i for i, h in enumerate(header) if any(contains_text(h, w) for w in NUMBER_HEADERS)]

    entries = {}
    names = numbers = 0
    for row in rows:
        count = len(row)
        joined = " ".join(row[i] for i in name_columns if i < count)
        found = []
        for i in number_columns:
            if i < count:
                for part in split_values(row[i]):
                    number = normalize_number(part, country)
                    if number:
                        found.append(number)
        name = build_display_name(joined)
        if not name or not found:
            continue
        name = name.replace("=", "")
        if len(name) > MAX_NAME:
            name = name[:MAX_NAME - 2] + ".."
        names += 1
        for number in found:
            numbers += 1
            entries[strip_country_prefix(number, country).translate(WIN_LOWER)] = name
    return entries, names, numbers


# 1252 as Windows decodes it; its five undefined bytes stand for the control characters of the
# same value.
WIN_1252 = {b: ord(bytes([b]).decode("cp1252", "ignore") or chr(b)) for b in range(0x80, 0xA0)}


def main(argv=None):
    parser = argparse.ArgumentParser(usage="%(prog)s [--country CODE] [--raw] FILE")
    parser.add_argument("--country", default="49", help="country calling code (default 49)")
    parser.add_argument("--raw", action="store_true", help="Windows-1252 bytes, CR LF after each line")
    parser.add_argument("file")
    args = parser.parse_args(argv)
    if not args.country.isdigit() or not args.country.isascii():
        parser.error("--country takes digits")
    try:
        entries, names, numbers = import_csv(args.file, args.country)
    except ImportError_ as e:
        message = str(e)
        if message and message[-1] > ".":
            message += "."
        print(message, file=sys.stderr)
        return 1
    lines = [key + "=" + entries[key] for key in sorted(entries)]
    if args.raw:
        sys.stdout.buffer.write("".join(line + "\r\n" for line in lines).encode("latin-1"))
    else:
        sys.stdout.buffer.write("".join(line + "\n" for line in lines).translate(WIN_1252).encode("utf-8"))
    sys.stdout.buffer.flush()
    grouped = "{:,} Namen {:,} Nummern gefunden.".format(names, numbers).replace(",", ".")
    print(grouped, file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
