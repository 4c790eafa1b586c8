"""Checks of the Python baseline, which the native importer's output is compared with.

    python3 -m unittest discover -s bench
"""
import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import baseline  # noqa: E402

BASELINE = Path(__file__).resolve().parent / "baseline.py"


class Numbers(unittest.TestCase):
    def test_normalize_then_strip(self):
        cases = [  # text, country, after NormalizePhoneNumber, dictionary key
            ("+49 (30) 123-456", "49", "030123456", "030123456"),
            ("0049 30 123456", "49", "004930123456", "030123456"),
            ("+1 555 1234", "49", "0015551234", "0015551234"),
            ("030/123456", "49", "030123456", "030123456"),
            ("Tel. 0171 555", "49", "0171555", "0171555"),
            ("n/a", "49", "", ""),
            ("+41 44 123", "41", "044123", "044123"),
            ("+41 44 123", "49", "004144123", "004144123"),
            ("0049+30", "49", "0049+30", "0+30"),
            ("49301234", "49", "49301234", "49301234"),
            ("030 12 34<br>5", "49", "03012345", "03012345"),
            # The first "(0)" goes when only a dialling prefix stands before it.
            ("+49 (0) 40 6432131-550", "49", "0406432131550", "0406432131550"),
            ("+49(0)7531 22", "49", "0753122", "0753122"),
            ("0049 (0)30 1234", "49", "0049301234", "0301234"),
            ("+43 (0) 1 234", "49", "00431234", "00431234"),
            ("+49 (0) 30 (0) 12", "49", "030012", "030012"),
            ("030 (0) 1234", "49", "03001234", "03001234"),
            ("(0) 30", "49", "030", "030"),
            ("+1234 (0) 5", "49", "00123405", "00123405"),
            ("+ (0) 5", "49", "0005", "0005"),
        ]
        for text, country, normal, key in cases:
            with self.subTest(text=text, country=country):
                self.assertEqual(baseline.normalize_number(text, country), normal)
                self.assertEqual(baseline.strip_country_prefix(normal, country), key)

    def test_at_most_100_digits_follow_a_rewritten_prefix(self):
        digits = "1" * 150
        self.assertEqual(baseline.normalize_number("+49" + digits, "49"), "0" + "1" * 100)
        self.assertEqual(baseline.normalize_number("+33" + digits, "49"), "0033" + "1" * 98)
        self.assertEqual(baseline.normalize_number("0" + digits, "49"), "0" + digits)
        self.assertEqual(baseline.strip_country_prefix("0049" + digits, "49"), "0" + "1" * 100)


class DisplayNames(unittest.TestCase):
    def test_build(self):
        cases = [
            ("Anna Muster Muster GmbH Anna Muster", "Anna Muster GmbH"),
            (" Muster", "Muster"),
            ("", ""),
            ("   ", ""),
            ("1 2 3 4 5 6 7 8", "1 2 3 4 5 6"),
            ("Anna Ann", "Anna"),
            ("Ann Anna", "Ann Anna"),
            ("anna ANNA", "anna"),
            ("AG AG & &", "AG AG & &"),
            ("Eins Eins Zwei Drei Vier Fünf Sechs Sieben", "Eins Zwei Drei Vier Fünf Sechs"),
            ("A ::: B", "A  B"),
            ("Jörg\tMüller Jörg", "Jörg\tMüller"),
            ("MÜLLER Müller", "MÜLLER"),
            ("STRASSE Straße", "STRASSE Straße"),
            ("\x9fVES \xffves", "\x9fVES"),  # Ÿ and ÿ are a pair in 1252
            ("ÆSOP æsop", "ÆSOP"),
        ]
        for joined, name in cases:
            with self.subTest(joined=joined):
                self.assertEqual(baseline.build_display_name(joined), name)


class Normalising(unittest.TestCase):
    def test_lines(self):
        cases = [
            (b'"a","b"\r\n"c","d\r\ne"\r\n"f","g"\r\n', ["a,b", "c,d<br><br>e", "f,g"]),
            (b"a\nb\rc\r\nd", ["a", "b", "c", "d"]),
            (b"a\n\rb\r\n\r\n", ["a", "", "b", ""]),
            (b'"x""y""",1\r\n', ["xy,1"]),
            (b'"open,1\r\nb,2\r\n', ["open,1<br><br>b,2<br><br>"]),
            (b"a,1\r\nb\0,2\r\nc\r\n", ["a,1", "b"]),
            (b"\0a", []),
            (b"", []),
        ]
        for text, lines in cases:
            with self.subTest(text=text):
                self.assertEqual(baseline.normalise(text), lines)

    def test_delimiter(self):
        cases = [
            (["a,b;c"], ","),
            (["a;b\tc"], ";"),
            (["a;b;c,d\te\tf\tg"], "\t"),
            (["abc"], ","),
            (["x" * 10000, "a;b;c"], ","),
        ]
        for lines, delimiter in cases:
            with self.subTest(lines=lines[-1]):
                self.assertEqual(baseline.detect_delimiter(lines), delimiter)


class Loading(unittest.TestCase):
    def load(self, data):
        with tempfile.NamedTemporaryFile(delete=False) as f:
            f.write(data)
        try:
            return baseline.load_ansi_text(f.name)
        finally:
            os.unlink(f.name)

    def test_encodings(self):
        bom = b"\xef\xbb\xbf"
        cases = [
            ("UTF-8 without mark", "Müller;Straße\r\n".encode(), "Müller;Straße\r\n".encode("cp1252")),
            ("UTF-8 with mark", bom + "Müller;Straße\r\n".encode(), "Müller;Straße\r\n".encode("cp1252")),
            ("Windows-1252", "Müller;Straße\r\n".encode("cp1252"), "Müller;Straße\r\n".encode("cp1252")),
            ("mark before 1252 bytes", bom + "Müller;x\r\n".encode("cp1252"), bom + "Müller;x\r\n".encode("cp1252")),
            ("short file keeps its mark", bom + b"ab", b"?ab"),
            ("UTF-16LE without mark", "Tür;x".encode("utf-16-le"), "Tür;x".encode("cp1252")),
            ("UTF-16BE without mark", "Tür;x".encode("utf-16-be"), "Tür;x".encode("cp1252")),
            ("UTF-16LE with mark", b"\xff\xfe" + "Jürgen €;\U0001F600\0x".encode("utf-16-le") + b"A",
             "Jürgen €;?x".encode("cp1252")),
            ("UTF-16BE with mark", b"\xfe\xff" + "Jürgen €;\U0001F600\0x".encode("utf-16-be") + b"A",
             "Jürgen €;?x".encode("cp1252")),
            ("UTF-16 lone surrogates", b"\xff\xfe\x00\xdca\x00\x3d\xd8", b"?a?"),
            ("UTF-16 mark only", b"\xfe\xff", b""),
            ("best fit outside 1252", "Yılmaz".encode(), b"Yilmaz"),
            ("no 1252 form", "Ж-1".encode(), b"?-1"),
            ("four-byte form is one ?", "Jörg \U0001F600,1".encode(), "Jörg ?,1".encode("cp1252")),
            ("four-byte form above U+10FFFF", b"\xf7\xbf\xbf\xbfA", b"?A"),
            ("four-byte lead with two follow bytes", b"\xc3\xa4\xf0\x9f!", b"\xc3\xa4\xf0\x9f!"),
            ("overlong form decodes", b"\xc1\x81bc", b"Abc"),
            ("surrogate decodes to ?", b"\xed\xa0\x80xy", b"?xy"),
            ("empty", b"", b""),
        ]
        for title, data, text in cases:
            with self.subTest(title):
                self.assertEqual(self.load(data), text)


class Import(unittest.TestCase):
    def run_import(self, data, *args):
        with tempfile.NamedTemporaryFile(delete=False) as f:
            f.write(data)
        try:
            return subprocess.run([sys.executable, str(BASELINE), "--raw", *args, f.name],
                                  capture_output=True)
        finally:
            os.unlink(f.name)

    def test_lines_and_counts(self):
        cases = [  # title, file text (1252), result lines, counts
            ("one entry", "Vorname,Nachname,Telefon\r\nAnna,Muster,+49 30 1234567\r\n",
             ["0301234567=Anna Muster"], "1 Namen 1 Nummern"),
            ("same number under Telefon and Fax", "Name;Telefon;Fax\nAnna;030 1;0301\n",
             ["0301=Anna"], "1 Namen 2 Nummern"),
            ("the later record wins", "Name;Telefon\nAnna;030 1\nBerta;0049 30 1\n",
             ["0301=Berta"], "2 Namen 2 Nummern"),
            (":::", "Name;Phone\nAnna;030 1 ::: 040 2:::\n", ["0301=Anna", "0402=Anna"], "1 Namen 2 Nummern"),
            ("'=' removed", "Name;Telefon\nA=B;030 1\n", ["0301=AB"], "1 Namen 1 Nummern"),
            ("cut to 50", "Name;Telefon\n%s;030 1\n" % ("x" * 60), ["0301=" + "x" * 48 + ".."], "1 Namen 1 Nummern"),
            ("no name, no number", "Vorname;Telefon\n;030 1\nAnna;n/a\n", [], "0 Namen 0 Nummern"),
            ("header only", "Vorname;Telefon\r\n", [], "0 Namen 0 Nummern"),
            ("containment, any case", "Spitzname;Home Phone;E-Mail\nHansi;030 1;a@example.de\n",
             ["0301=Hansi"], "1 Namen 1 Nummern"),
            ("a quoted delimiter splits", 'Name,Telefon\n"Muster, Anna",030 1\n', [], "0 Namen 0 Nummern"),
            ("quoted line break", 'Name;Telefon\n"Anna\r\nMuster";030 1\n', ["0301=Anna<br><br>Muster"],
             "1 Namen 1 Nummern"),
            ("doubled quotes vanish", 'Firma;Telefon\n"Bäckerei ""Korn""";030 1\n', ["0301=Bäckerei Korn"],
             "1 Namen 1 Nummern"),
            ("short rows", "Name;X;Telefon\nAnna;1\n", [], "0 Namen 0 Nummern"),
            ("order by bytes", "Name;Telefon\nA;031\nB;0301\nC;+1 2\nD;0171\n",
             ["0012=C", "0171=D", "0301=B", "031=A"], "4 Namen 4 Nummern"),
            ("thousands", "Name;Telefon\n" + "".join("N;0%d\n" % i for i in range(1234)), None,
             "1.234 Namen 1.234 Nummern"),
        ]
        for title, text, lines, summary in cases:
            with self.subTest(title):
                result = self.run_import(text.encode("cp1252"))
                self.assertEqual(result.returncode, 0, result.stderr)
                if lines is not None:
                    self.assertEqual(result.stdout, "".join(l + "\r\n" for l in lines).encode("cp1252"))
                self.assertEqual(result.stderr.decode(), summary + " gefunden.\n")

    def test_country(self):
        result = self.run_import(b"Name;Telefon\nA;+41 44 1\nB;+49 30 1\n", "--country", "41")
        self.assertEqual(result.stdout, b"0049301=B\r\n0441=A\r\n")

    def test_errors(self):
        result = self.run_import(b"")
        self.assertEqual((result.returncode, result.stdout, result.stderr), (1, b"", b"Try to read past eof.\n"))
        missing = subprocess.run([sys.executable, str(BASELINE), "/nonexistent/kontakte.csv"], capture_output=True)
        self.assertEqual((missing.returncode, missing.stdout, missing.stderr), (1, b"", b"OSError.\n"))

    def test_utf8_output(self):
        result = subprocess.run([sys.executable, str(BASELINE), "-"], input="Name;Telefon\nJörg;030 1\n".encode(),
                                capture_output=True)
        self.assertEqual(result.stdout, "0301=Jörg\n".encode())


class VCards(unittest.TestCase):
    def test_unfold(self):
        cases = [
            (b"FN:An\r\n na\r\n\t Maria", b"FN:Anna Maria"),
            (b"a\n b\r c", b"abc"),
            (b"a\r\n\r\n  b", b"ab"),  # the second blank finds the first break again
            (b"\r\r \n ", b""),
            (b"a \r\nb", b"a \r\nb"),
            (b"a\r\n", b"a\r\n"),
            (b" a", b" a"),
        ]
        for text, unfolded in cases:
            with self.subTest(text=text):
                self.assertEqual(baseline.unfold_lines(text), unfolded)

    def test_is_vcard_text(self):
        cases = [
            (b"BEGIN:VCARD\r\n", True), (b" \r\n\tbegin:vcard", True), (b"BEGIN:VCARD\0x", True),
            (b"BEGIN:VCARDS\r\n", False), (b"Name;BEGIN:VCARD", False), (b"BEGIN:VCAR", False),
            (b"", False),
        ]
        for text, vcard in cases:
            with self.subTest(text=text):
                self.assertEqual(baseline.is_vcard_text(text), vcard)

    def test_cards(self):
        cases = [  # title, text (1252 as latin-1), cards: given, family, org, unit, numbers
            ("quoted-printable UTF-8, soft breaks",
             "BEGIN:VCARD\r\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BCller;J=C3=B6=\r\nrg;;;\r\n"
             "TEL;WORK;VOICE:+49 30 1234\r\nTEL;CELL:0171 2\r\nEND:VCARD\r\n",
             [("Jörg", "Müller", "", "", ["+49 30 1234", "0171 2"])]),
            ("quoted-printable 1252 and line breaks",
             "BEGIN:VCARD\r\nN;encoding=quoted-printable:M=FCller;Anna=0D=0AMaria;;;\r\n"
             "TEL;ENCODING=QUOTED-PRINTABLE:030=\r\n=201\r\nEND:VCARD\r\n",
             [("Anna  Maria", "Müller", "", "", ["030 1"])]),
            ("soft breaks only in quoted-printable values",
             "BEGIN:VCARD\r\nN:Muster;Anna=\r\nTEL;X-ENCODING=QUOTED-PRINTABLE:0301=\r\nTEL:0302\r\n"
             "END:VCARD\r\n",
             [("Anna=", "Muster", "", "", ["0301=", "0302"])]),
            ("escapes and groups",
             "BEGIN:VCARD\r\nN:O\\;Neill\\, Jr.;Anna\\nMaria;;;\r\nORG:Back\\\\;Slash \\x\\\r\n"
             "item2.tel;type=HOME:089\\,6\r\nEND:VCARD\r\n",
             [("Anna Maria", "O;Neill, Jr.", "Back\\", "Slash \\x\\", ["089,6"])]),
            ("tel: URIs, quoted parameters",
             'BEGIN:VCARD\r\nFN:Mette\r\nTEL;TYPE="voice,work";PREF=1:tel:+45-3312;ext=12\r\n'
             "TEL:030 1;ext=2\r\nEND:VCARD\r\n",
             [("Mette", "", "", "", ["+45-3312", "030 1;ext=2"])]),
            ("first N, FN and ORG count",
             "BEGIN:VCARD\r\nN:;\r\nN:Zweiter;Name\r\nFN:Erster\r\nORG:A;B\r\nORG:C;D\r\nEND:VCARD\r\n",
             [("Erster", "", "A", "B", [])]),
            ("an agent's card is skipped",
             "BEGIN:VCARD\r\nN:Chef;Carla\r\nTEL:1\r\nAGENT:\r\n\r\nBEGIN:VCARD\r\nTEL:9\r\n"
             "AGENT:\r\nBEGIN:VCARD\r\nTEL:8\r\nEND:VCARD\r\nTEL:7\r\nEND:VCARD\r\nTEL:2\r\nEND:VCARD\r\n",
             [("Carla", "Chef", "", "", ["1", "2"])]),
            ("an agent's card without its end",
             "BEGIN:VCARD\r\nFN:A\r\nAGENT:\r\nBEGIN:VCARD\r\nTEL:9\r\nBEGIN:VCARD\r\nFN:B\r\n"
             "TEL:2\r\nEND:VCARD\r\n",
             [("A", "", "", "", []), ("B", "", "", "", ["2"])]),
            ("cards running to the end",
             "BEGIN:VCARD\r\nFN:A\r\nTEL:1\r\nBEGIN:VCARD\r\nFN:B\r\nTEL:2\r\nEND:VCARD\r\nTEL:3\r\n"
             "BEGIN:VCARD\r\nFN:C\r\nTEL:4",
             [("A", "", "", "", ["1"]), ("B", "", "", "", ["2"]), ("C", "", "", "", ["4"])]),
            ("malformed lines skipped, the text ends at byte 0",
             'BEGIN:VCARD\r\nTEL\r\nTEL;TYPE="cell:0301\r\n:0302\r\nTEL:0303\0\r\nTEL:4\r\nEND:VCARD',
             [("", "", "", "", ["0303"])]),
            ("no card", "Name;Telefon\r\nAnna;0301\r\n", []),
        ]
        for title, text, cards in cases:
            with self.subTest(title):
                self.assertEqual([(g, f, o, u, list(n)) for g, f, o, u, n in baseline.read_cards(text)],
                                 cards)

    def test_loading_unfolds_before_decoding(self):
        data = "BEGIN:VCARD\r\nFN:J\u00f6rg\r\nEND:VCARD\r\n".encode()
        folded = data.replace(b"\xc3\xb6", b"\xc3\r\n \xb6")
        utf16 = "BEGIN:VCARD\r\nFN:Łukasz\r\n END:VCARD\r\n".encode("utf-16-be")
        cases = [
            ("UTF-8 folded inside a character", folded, "BEGIN:VCARD\r\nFN:Jörg\r\nEND:VCARD\r\n"),
            ("not UTF-8: the bytes unfolded", b"BEGIN:VCARD\r\nFN:J\xf6\r\n rg\r\n",
             "BEGIN:VCARD\r\nFN:Jörg\r\n"),
            ("UTF-16 without a mark", utf16, "BEGIN:VCARD\r\nFN:LukaszEND:VCARD\r\n"),
        ]
        for title, data, text in cases:
            with self.subTest(title):
                with tempfile.NamedTemporaryFile(delete=False) as f:
                    f.write(data)
                try:
                    self.assertEqual(baseline.load_ansi_text(f.name), text.encode("cp1252"))
                finally:
                    os.unlink(f.name)

    def test_import(self):
        text = ("BEGIN:VCARD\r\nN:Muster;Anna;;;\r\nORG:Firma=X;Vertrieb\r\nTEL:+49 30 1\r\n"
                "TEL:n/a\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:Ohne Nummer\r\nEND:VCARD\r\n"
                "BEGIN:VCARD\r\nN:Berta;;;;\r\nTEL:0049301\r\nTEL;TYPE=CELL:0171 2\r\nEND:VCARD\r\n")
        with tempfile.NamedTemporaryFile(delete=False) as f:
            f.write(text.encode())
        try:
            result = subprocess.run([sys.executable, str(BASELINE), "--raw", f.name], capture_output=True)
        finally:
            os.unlink(f.name)
        self.assertEqual(result.stdout, b"01712=Berta\r\n0301=Berta\r\n")
        self.assertEqual(result.stderr.decode(), "2 Namen 3 Nummern gefunden.\n")


if __name__ == "__main__":
    unittest.main()
