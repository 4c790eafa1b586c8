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


if __name__ == "__main__":
    unittest.main()
