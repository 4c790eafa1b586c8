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


def is_vcard_text(text):
    """The one rule that tells a vCard file: its first line, after blanks, TABs, CRs and LFs, is
    BEGIN:VCARD in any case (the text ending at its first byte 0)."""
    first = len(text) - len(text.lstrip(b" \t\r\n"))
    head = text[first:first + 11]
    if len(head) < 11 or head.upper() != b"BEGIN:VCARD":
        return False
    return first + 11 == len(text) or text[first + 11] in b"\r\n\0"


BREAK_RUN = re.compile(rb"[\r\n][\r\n \t]*")


def _unfold_run(m):
    run = m.group()
    if b" " not in run and b"\t" not in run:
        return run
    out = bytearray()
    for c in run:
        if c in b" \t" and out and out[-1] in b"\r\n":
            del out[-2 if out.endswith(b"\r\n") else -1:]
        else:
            out.append(c)
    return bytes(out)


def unfold_lines(text):
    """Each line break (CR LF, LF or CR) followed by a blank or TAB goes with that one blank or TAB,
    until the text holds no such pair. A break can only be taken back up to the last byte that is
    neither a break nor a blank, so every run of them is unfolded on its own."""
    return BREAK_RUN.sub(_unfold_run, text)


def ascii_units_at_start(data, big_endian):
    units = bytearray()
    letters = 0
    for i in range(0, len(data) - 1, 2):
        if letters >= 12:
            break
        unit = data[i] << 8 | data[i + 1] if big_endian else data[i + 1] << 8 | data[i]
        if unit == 0:
            break
        units.append(unit if unit < 0x80 else ord("?"))
        if unit >= 0x80:
            break
        if letters > 0 or unit not in b" \t\r\n":
            letters += 1
    return bytes(units)


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
        text = utf16_to_ansi(raw[2:], raw[0] == 0xFE)
        return unfold_lines(text) if is_vcard_text(text) else text
    # A vCard in UTF-16 without a mark, whatever its letters.
    for big_endian in (False, True):
        if is_vcard_text(ascii_units_at_start(raw, big_endian)):
            return unfold_lines(utf16_to_ansi(raw, big_endian))
    bom_seen = len(raw) >= 10 and raw.startswith(BOM)
    text = raw[3:] if bom_seen else raw
    # Folds go before decoding: a writer may fold inside a UTF-8 character.
    vcard = is_vcard_text(text)
    if vcard:
        text = unfold_lines(text)
    if text.count(0) == len(text) // 2:
        # Taken as UTF-16 without a mark (an empty text lands here too).
        no_nul = text.replace(b"\0", b"")
        result = utf8_to_ansi(no_nul) or no_nul
        return unfold_lines(result) if is_vcard_text(result) else result
    ansi = utf8_to_ansi(text)
    if ansi:
        return ansi
    return (BOM if bom_seen else b"") + text if vcard else raw


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


class Collector:
    """Where every record ends, a CSV row or a card: its display name and numbers become entries
    and counts."""

    def __init__(self, country):
        self.country = country
        self.entries = {}
        self.names = 0
        self.numbers = 0

    def add_record(self, joined, found):
        name = build_display_name(joined)
        if not name or not found:
            return
        name = name.replace("=", "")
        if len(name) > MAX_NAME:
            name = name[:MAX_NAME - 2] + ".."
        self.names += 1
        for number in found:
            self.numbers += 1
            self.entries[strip_country_prefix(number, self.country).translate(WIN_LOWER)] = name


def import_csv(text, collector):
    lines = normalise(text)
    if not lines:
        raise ImportError_("Try to read past eof")
    delimiter = detect_delimiter(lines)
    rows = csv.reader(lines, delimiter=delimiter, quoting=csv.QUOTE_NONE)
    header = next(rows)
    name_columns = [i for i, h in enumerate(header) if any(contains_text(h, w) for w in NAME_HEADERS)]
    number_columns = [i for i, h in enumerate(header) if any(contains_text(h, w) for w in NUMBER_HEADERS)]
    for row in rows:
        count = len(row)
        joined = " ".join(row[i] for i in name_columns if i < count)
        found = []
        for i in number_columns:
            if i < count:
                for part in split_values(row[i]):
                    number = normalize_number(part, collector.country)
                    if number:
                        found.append(number)
        collector.add_record(joined, found)


# ---- vCards, read as the program reads them: one record per card, whose name is the given
# name, family name, organisation and department, and whose numbers are all its TEL values.

QP_BYTE = re.compile(r"=([0-9A-Fa-f]{2})")
LINE_BREAK = re.compile(r"\r\n|\r|\n")


def ascii_upper(text):
    return text.encode("latin-1").upper().decode("latin-1")


def find_colon(line, start=0, in_quotes=False):
    """(position of the first ":" outside double quotes from start on or -1, the quote state)."""
    for i in range(start, len(line)):
        c = line[i]
        if c == '"':
            in_quotes = not in_quotes
        elif c == ":" and not in_quotes:
            return i, in_quotes
    return -1, in_quotes


def parse_property(line):
    """(name without group, value, quoted-printable) of [group.]NAME[;param...]:value, or None."""
    colon = line.find(":")
    if colon < 0 or '"' in line[:colon]:
        colon, _ = find_colon(line)
        if colon < 0:
            return None
    head = line[:colon]
    pieces = head.split(";") if '"' not in head else _split_outside_quotes(head)
    name = pieces[0]
    dot = name.find(".")
    if dot >= 0:
        name = name[dot + 1:]
    qp = any(ascii_upper(p) in ("ENCODING=QUOTED-PRINTABLE", "QUOTED-PRINTABLE") for p in pieces[1:])
    return name, line[colon + 1:], qp


def _split_outside_quotes(head):
    pieces, start, in_quotes = [], 0, False
    for i, c in enumerate(head):
        if c == '"':
            in_quotes = not in_quotes
        elif c == ";" and not in_quotes:
            pieces.append(head[start:i])
            start = i + 1
    pieces.append(head[start:])
    return pieces


def decode_value(value, qp):
    if not qp:
        return value
    data = QP_BYTE.sub(lambda m: chr(int(m.group(1), 16)), value).replace("\0", "")
    ansi = utf8_to_ansi(data.encode("latin-1"))
    return ansi.decode("latin-1") if ansi else data


def split_components(value):
    """The components of a structured value, cut at every ";" no backslash escapes."""
    components, start, i = [], 0, 0
    while i < len(value):
        if value[i] == "\\":
            i += 1
        elif value[i] == ";":
            components.append(value[start:i])
            start = i + 1
        i += 1
    components.append(value[start:])
    return components


UNESCAPE = re.compile(r"\\([\\,;nN])")


def unescape(value):
    return UNESCAPE.sub(lambda m: " " if m.group(1) in "nN" else m.group(1), value)


def name_part(escaped):
    return unescape(escaped).replace("\r", " ").replace("\n", " ")


def component(components, index):
    return name_part(components[index]) if index < len(components) else ""


def telephone_value(escaped):
    number = unescape(escaped)
    if ascii_upper(number[:4]) == "TEL:":
        number = number[4:].split(";", 1)[0]
    return number


def physical_lines(text):
    """The text's lines from its first one that is not blank, each without its break."""
    nul = text.find("\0")
    if nul >= 0:
        text = text[:nul]
    text = text.lstrip(" \t\r\n")
    if not text:
        return []
    lines = LINE_BREAK.split(text)
    if lines[-1] == "":
        lines.pop()
    return lines


def logical_lines(text):
    """Physical lines joined: a line that starts with a blank or TAB continues the one before it
    without that character, and in a quoted-printable property a value ending in "=" continues on
    the next line without the "="."""
    lines = physical_lines(text)
    i, n = 0, len(lines)
    while i < n:
        line = lines[i]
        i += 1
        scanned, in_quotes, colon, parsed, qp = 0, False, -1, False, False
        while i < n:
            following = lines[i]
            if following[:1] in (" ", "\t"):
                line += following[1:]
            elif line.endswith("="):
                if not parsed:
                    if colon < 0:
                        colon, in_quotes = find_colon(line, scanned, in_quotes)
                        scanned = len(line) if colon < 0 else colon
                    if colon >= 0:
                        parsed = True
                        qp = parse_property(line[:colon + 1])[2]
                if not (parsed and qp and colon + 1 < len(line)):
                    break
                line = line[:-1] + following
            else:
                break
            i += 1
        yield line


def read_cards(text):
    """(given name, family name, organisation, department, numbers) per card, in text order.
    Between cards only BEGIN:VCARD counts; a BEGIN:VCARD right after an empty AGENT opens an
    agent's card, skipped up to its own END:VCARD; any other BEGIN:VCARD ends the open card."""
    state = "outside"
    depth = 0
    after_agent = False
    card = None

    def finish():
        name = split_components(card["N"] or "")
        organization = split_components(card["ORG"] or "")
        family, given = component(name, 0), component(name, 1)
        if not given and not family:
            given = name_part(card["FN"] or "")
        return given, family, component(organization, 0), component(organization, 1), card["TEL"]

    def fresh():
        return {"N": None, "FN": None, "ORG": None, "TEL": []}

    for line in logical_lines(text):
        if not line:
            continue
        prop = parse_property(line)
        name = ascii_upper(prop[0]) if prop else None
        is_begin = name == "BEGIN" and ascii_upper(prop[1]) == "VCARD"
        is_end = name == "END" and ascii_upper(prop[1]) == "VCARD"
        was_after_agent = after_agent
        after_agent = name == "AGENT" and prop[1] == ""
        if state == "outside":
            if is_begin:
                card = fresh()
                state = "card"
        elif state == "card":
            if is_begin and was_after_agent:
                state, depth = "nested", 1
            elif is_begin:
                yield finish()
                card = fresh()
            elif is_end:
                yield finish()
                state = "outside"
            elif name == "TEL":
                card["TEL"].append(telephone_value(decode_value(prop[1], prop[2])))
            elif name in ("N", "FN", "ORG") and card[name] is None:
                card[name] = decode_value(prop[1], prop[2])
        else:
            if is_begin and was_after_agent:
                depth += 1
            elif is_begin:
                yield finish()
                card = fresh()
                state = "card"
            elif is_end:
                depth -= 1
                if depth == 0:
                    state = "card"
    if state != "outside":
        yield finish()


def import_vcard(text, collector):
    for given, family, organization, unit, values in read_cards(text.decode("latin-1")):
        joined = " ".join((given, family, organization, unit))
        found = [n for n in (normalize_number(v, collector.country) for v in values) if n]
        collector.add_record(joined, found)


def import_file(path, country):
    """The entries {number: name} and the two counts, as the window would show them."""
    text = load_ansi_text(path)
    collector = Collector(country)
    if is_vcard_text(text):
        import_vcard(text, collector)
    else:
        import_csv(text, collector)
    return collector.entries, collector.names, collector.numbers


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
        entries, names, numbers = import_file(args.file, args.country)
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
